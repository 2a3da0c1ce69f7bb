// The messages of one input: a message file, a mailbox file, or standard
// input holding either. An input is a mailbox when, after a byte-order
// mark and blank lines, its first line is a well-formed mbox separator
// ("From SENDER DATE": mboxo, mboxrd, mboxcl2, Thunderbird's local folders)
// or MMDF's delimiter. Inputs are streamed: one message is in memory at a
// time, however large the mailbox, and none larger than the stream's size
// limit: a larger one is passed over without being held. An input whose
// first line is a byte count alone is a Mac mail client's .emlx file: that
// many bytes after the line are its one message, and the property list
// after them is not mail.
#ifndef VELMORA_RUNNER_MAILBOX_MESSAGE_STREAM_H
#define VELMORA_RUNNER_MAILBOX_MESSAGE_STREAM_H

#include "platform/system.h"
#include "runner/mailbox/message_size.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One message taken from an input.
struct StreamedMessage {
    std::string text; // empty when it is too large
    // Its stored text is larger than the size limit: it was not read into
    // memory (a message file's own size told, or it was counted while read).
    bool tooLarge = false;
    // The envelope sender its mailbox separator names: "<>" for
    // MAILER-DAEMON or "<>", empty when there is none (a message file) or
    // the separator names no address (Thunderbird's "From - ...", the
    // "From ???@??? ..." of Outlook Express and Eudora).
    std::string separatorSender;
};

// Where the message Next last gave came from, as byte offsets in the
// input. [start, textStart) is what introduced it (its separator line;
// MMDF's delimiter and the "From " line after it; nothing for a message
// file; an .emlx file's byte count line), [textStart, textEnd) its text as
// stored, [textEnd, end) what closed it (the blank line writers put before
// a separator, MMDF's delimiter, an .emlx file's property list). The next
// message or note starts at `end`.
struct MessageSpan {
    std::size_t number = 0; // its place in the input from 1, skipped ones counted
    std::uint64_t start = 0;
    std::uint64_t textStart = 0;
    std::uint64_t textEnd = 0;
    std::uint64_t end = 0;
    bool unquoted = false; // ">From " quoting was taken off its lines
};

// Something the reader left out of the input or changed, for the user to
// hear of. Bytes [begin, end) are in no message; a note about a change
// rather than a gap has begin == end.
struct StreamNote {
    enum class Kind {
        kByteOrderMark,        // skipped at the start
        kLeadingBlankLines,    // skipped before a mailbox's first separator
        kDeletedMessage,       // marked deleted by its mailbox: skipped
        kStrayText,            // between MMDF messages: skipped
        kUnclosedMessage,      // the last MMDF message lacks its delimiter
        kIgnoredContentLength, // did not end on a separator: ignored
        kLoneCarriageReturns,  // CR-only line ends made LF
        kShortEmlx,            // an .emlx file's count runs past its end
    };
    Kind kind;
    std::uint64_t begin;
    std::uint64_t end;
    std::string text; // says what happened, for showing after the input's name
};

class MessageStream {
  public:
    static constexpr std::size_t kDefaultReadChunk = 256 * 1024;

    // `readChunk`: how many bytes each read asks for (tests and fuzzing
    // use a few, so that lines straddle reads). `maxMessage`: the size
    // limit, in bytes of a message's stored text.
    explicit MessageStream(std::size_t readChunk = kDefaultReadChunk,
                           std::uint64_t maxMessage = kNoMessageSizeLimit);
    ~MessageStream();
    MessageStream(const MessageStream&) = delete;
    MessageStream& operator=(const MessageStream&) = delete;

    // Opens `path` ("-": standard input) and looks at its first line.
    // False with `reason` set when it cannot be opened or read.
    bool Open(const std::string& path, std::string* reason);

    // The same for a file opened already, which the stream now owns
    // (`file` is left closed).
    bool Take(InputFile* file, std::string* reason);

    // Reads the `size` bytes at `data` instead of a file, in the same
    // chunks; they must outlive the stream.
    void OpenBytes(const char* data, std::size_t size);

    bool IsMailbox() const { return format_ == Format::kMbox || format_ == Format::kMmdf; }

    // A message file whose size alone puts it over the size limit: Next
    // gives it as too large without reading it.
    bool OverLimitBySize() const {
        return !IsMailbox() && size_ > bomEnd_ && size_ - bomEnd_ > maxMessage_;
    }

    // A message file's first `bytes` bytes (past a byte-order mark, and an
    // .emlx file's count line; fewer
    // when it is shorter), read before Next so that what is plainly not
    // mail need not be read whole. False with `reason` set on a read error.
    bool Head(std::size_t bytes, std::string* head, std::string* reason);

    // Takes the next message. False at the end of the input, and on a read
    // error, with `reason` set (empty at a plain end). Either way Notes()
    // then tells what this call skipped or changed on the way.
    bool Next(StreamedMessage* message, std::string* reason);

    const MessageSpan& Span() const { return span_; }
    const std::vector<StreamNote>& Notes() const { return notes_; }

    // Bytes taken from the input so far, and its size (0 when unknown).
    std::uint64_t BytesRead() const { return bytesRead_; }
    std::uint64_t Size() const { return size_; }

  private:
    enum class Format { kMessageFile, kEmlx, kMbox, kMmdf };
    struct Found; // a message's offsets while it is being read

    bool ReadSome(char* into, std::size_t size, std::size_t* got, std::string* reason);
    bool ReadMore(std::string* reason);
    void Grow(std::size_t need);
    bool ReadUpTo(std::uint64_t offset, std::string* reason);
    bool LineEnd(std::uint64_t at, std::uint64_t limit, std::uint64_t* end, std::string* reason);
    bool ScanLine(std::uint64_t at, std::uint64_t room, std::uint64_t* end, bool* longLine,
                  std::string* reason);
    bool SkipLine(std::uint64_t from, std::uint64_t* end, std::string* reason);
    bool MessageLine(Found* found, std::uint64_t textSoFar, std::uint64_t at, std::uint64_t* end,
                     bool* longLine, std::string* reason);
    void LetGoBefore(std::uint64_t offset);
    bool ReadHeaderLine(Found* found, std::uint64_t at, std::size_t length);
    void ReadHeaders(Found* found, std::uint64_t headersEnd);
    void JudgeSize(Found* found) const;
    const char* At(std::uint64_t offset) const { return buffer_.data() + (offset - bufferStart_); }
    bool DetectFormat(std::string* reason);
    bool DetectEmlx(std::string* reason);
    void SkipLead();
    bool NextWholeMessage(StreamedMessage* message, std::string* reason);
    bool FindMboxMessage(Found* found, std::string* reason);
    bool ApplyContentLength(std::uint64_t length, Found* found, std::string* reason);
    bool LandsOnSeparator(const Found& found, std::uint64_t at, bool* lands,
                          std::uint64_t* closeEnd, std::string* reason);
    bool FindMmdfMessage(Found* found, std::string* reason);
    void TakeFound(const Found& found, StreamedMessage* message);
    void Note(StreamNote::Kind kind, std::uint64_t begin, std::uint64_t end,
              const std::string& text);

    std::size_t readChunk_;
    // Where each read lands before its bytes join the buffer: growing the
    // buffer by a whole chunk for each read would clear the chunk first,
    // which for small files costs far more than the bytes read.
    std::unique_ptr<char[]> chunk_;
    std::uint64_t maxMessage_;
    InputFile file_; // handle -1 unless a file is open
    const char* memory_ = nullptr;
    std::size_t memorySize_ = 0;
    bool fromMemory_ = false;
    Format format_ = Format::kMessageFile;
    bool atEnd_ = false;       // the input has given its last byte
    bool leadSkipped_ = false; // the first Next has passed the lead
    bool wholeTaken_ = false;  // a message file's one message was taken
    std::string buffer_;       // input bytes from bufferStart_ on
    std::uint64_t bufferStart_ = 0;
    std::uint64_t pos_ = 0;     // where the next message starts: bytes before it may go
    std::uint64_t letGo_ = 0;   // bytes before it may go too: a too-large message's, skipped ones
    std::uint64_t bomEnd_ = 0;  // past a leading byte-order mark
    std::uint64_t leadEnd_ = 0; // past the blank lines before a mailbox's first separator
    std::uint64_t emlxTextStart_ = 0; // past an .emlx file's count line
    std::uint64_t emlxCount_ = 0;     // the bytes that line counts
    std::size_t number_ = 0;          // messages passed, skipped ones counted
    MessageSpan span_;
    std::vector<StreamNote> notes_;
    std::uint64_t bytesRead_ = 0;
    std::uint64_t size_ = 0;
};

// The envelope sender a mailbox separator line names (see above).
std::string SeparatorSender(const std::string& separatorLine);

#endif
