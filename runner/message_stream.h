// The messages of one input: a message file, a mailbox file, or standard
// input holding either. An input whose first line starts with "From " is a
// mailbox (mbox: mboxo, mboxrd, Thunderbird's local folders): each message
// follows a "From " separator line. Inputs are streamed: one message is in
// memory at a time, however large the mailbox.
#ifndef VELMORA_RUNNER_MESSAGE_STREAM_H
#define VELMORA_RUNNER_MESSAGE_STREAM_H

#include "runner/runner_platform.h"

#include <cstdint>
#include <string>

// One message taken from an input.
struct StreamedMessage {
    std::string text;
    // The envelope sender its mailbox separator names: "<>" for
    // MAILER-DAEMON or "<>", empty when there is none (a message file, or
    // Thunderbird's "From - ..." lines).
    std::string separatorSender;
};

class MessageStream {
  public:
    MessageStream() = default;
    ~MessageStream();
    MessageStream(const MessageStream&) = delete;
    MessageStream& operator=(const MessageStream&) = delete;

    // Opens `path` ("-": standard input) and looks at its first line.
    // False with `reason` set when it cannot be opened or read.
    bool Open(const std::string& path, std::string* reason);

    bool IsMailbox() const { return mailbox_; }

    // Takes the next message. False at the end of the input, and on a read
    // error, with `reason` set (empty at a plain end).
    bool Next(StreamedMessage* message, std::string* reason);

    // Bytes taken from the input so far, and its size (0 when unknown).
    std::uint64_t BytesRead() const { return bytesRead_; }
    std::uint64_t Size() const { return size_; }

  private:
    bool FillBuffer(std::string* reason);
    bool ReadLine(std::string* line, std::string* reason);
    bool NextMailboxMessage(StreamedMessage* message, std::string* reason);

    InputFile file_; // handle -1 until opened
    bool mailbox_ = false;
    bool atEnd_ = false;      // the input has given its last byte
    bool wholeTaken_ = false; // a message file's one message was taken
    std::string buffer_;      // bytes read but not yet taken
    std::size_t taken_ = 0;   // how much of buffer_ is taken
    std::string separator_;   // the separator line of the next message
    std::uint64_t bytesRead_ = 0;
    std::uint64_t size_ = 0;
};

// The envelope sender a mailbox separator line names (see above).
std::string SeparatorSender(const std::string& separatorLine);

// A mailbox line as the message had it: ">From " quoting (any number of
// '>' before "From ") loses one '>'.
std::string UnquoteFromLine(const std::string& line);

#endif
