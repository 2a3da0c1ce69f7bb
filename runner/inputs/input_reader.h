// The messages of a run, input by input. The one place that knows what
// each input is (a message file, a mailbox, or standard input holding
// either; folders are walked into their files as the run goes, by
// MessageWalk) and that owns the stream it is read from.
#ifndef VELMORA_RUNNER_INPUTS_INPUT_READER_H
#define VELMORA_RUNNER_INPUTS_INPUT_READER_H

#include "runner/inputs/message_walk.h"
#include "runner/mailbox/message_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the reader gives each time.
enum class InputItemKind {
    kMessage,    // a message to run
    kUnreadable, // the input (or its rest) could not be read: `reason`
    kTooLarge,   // a message over the size limit, not read (the input goes on), or
                 // one too large to hold in memory (the input ends there)
    kNotMail,    // a message file plainly not mail by its first bytes, not read further
    kNotesOnly,  // the end of an input, with notes still to show
};

// One message of an input, or what became of an input.
struct InputMessage {
    InputItemKind kind = InputItemKind::kMessage;
    // Texts as they came from the file system and the mail: whoever
    // shows them escapes them.
    std::string name;       // PATH, or PATH#N for a mailbox's message N
    std::string path;       // the input it came from
    std::size_t number = 0; // its number in a mailbox; 0 for a message file
    StreamedMessage message;
    bool inMailbox = false;         // one of a mailbox's messages
    std::string reason;             // for kUnreadable, kTooLarge and kNotMail
    std::vector<std::string> notes; // what the reader skipped or changed
};

class InputReader {
  public:
    // Reads the inputs that `walk` (started) finds, as it finds them;
    // `maxMessage`: the size limit on a message, in bytes. With no walk,
    // the one message is the bundled sample autoreply.
    InputReader(MessageWalk* walk, std::uint64_t maxMessage);
    ~InputReader();
    InputReader(const InputReader&) = delete;
    InputReader& operator=(const InputReader&) = delete;

    // True when the run is about one message file: a single input, named
    // as `namedPath` itself (not found in a folder), that is no mailbox.
    // Opens that input to look (standard input can be read once only: it
    // stays open for Next).
    bool IsSingleMessageFile(const std::string& namedPath);

    // The next message, or what became of an input that gives none. False
    // when every input is done. The walk's notes come with the item after
    // them.
    bool Next(InputMessage* item);

    // The input being read: a mailbox, how many of its bytes are read, and
    // its size (0 when unknown), for the progress line.
    bool InMailbox() const;
    std::uint64_t BytesRead() const;
    std::uint64_t Size() const;

  private:
    bool TakeSource();
    bool OpenCurrent(std::string* reason);
    bool LookAtHead(const char** notMail, std::string* reason);
    void TakeNotes(InputMessage* item) const;
    bool Deliver(InputMessage* item);
    bool EndInput(InputItemKind kind, const std::string& reason, InputMessage* item);

    MessageWalk* walk_; // null: the sample
    bool sampleGiven_ = false;
    MessageSource source_;                  // the input being read
    bool haveSource_ = false;               // source_ is taken and not done
    bool walkDone_ = false;                 // the walk has given its last source
    std::vector<std::string> walkNotes_;    // the walk's notes not yet given
    std::unique_ptr<MessageStream> stream_; // null until it is opened
    std::uint64_t maxMessage_;
    bool headLooked_ = false; // the open message file's first bytes were looked at
};

#endif
