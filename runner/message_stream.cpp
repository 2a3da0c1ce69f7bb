// Messages from an input; see message_stream.h.
#include "runner/message_stream.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kSeparatorStart = "From ";
constexpr std::size_t kSeparatorStartLength = 5;
constexpr const char* kNullSender = "<>";
constexpr const char* kMailerDaemon = "MAILER-DAEMON";
constexpr const char* kUnknownSender = "-"; // Thunderbird's "From - date"
constexpr std::size_t kReadChunk = 256 * 1024;

bool StartsSeparator(const std::string& line) {
    return line.compare(0, kSeparatorStartLength, kSeparatorStart) == 0;
}

bool IsEmptyLine(const std::string& line) {
    return line == "\n" || line == "\r\n";
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string SeparatorSender(const std::string& separatorLine) {
    if (!StartsSeparator(separatorLine)) {
        return std::string();
    }
    const std::size_t start = separatorLine.find_first_not_of(" \t", kSeparatorStartLength);
    if (start == std::string::npos) {
        return std::string();
    }
    const std::size_t end = separatorLine.find_first_of(" \t\r\n", start);
    const std::string address = separatorLine.substr(start, end - start);
    if (address == kUnknownSender) {
        return std::string();
    }
    if (address == kNullSender || EqualsIgnoringCase(address, kMailerDaemon)) {
        return kNullSender;
    }
    return address;
}

std::string UnquoteFromLine(const std::string& line) {
    const std::size_t quotes = line.find_first_not_of('>');
    if (quotes == 0 || quotes == std::string::npos ||
        line.compare(quotes, kSeparatorStartLength, kSeparatorStart) != 0) {
        return line;
    }
    return line.substr(1);
}

MessageStream::~MessageStream() {
    CloseInputFile(&file_);
}

bool MessageStream::Open(const std::string& path, std::string* reason) {
    if (!OpenInputFile(path, &file_, reason)) {
        return false;
    }
    size_ = InputFileSize(file_);
    // Enough of the input to see whether its first line starts a mailbox.
    while (buffer_.size() < kSeparatorStartLength && !atEnd_) {
        if (!FillBuffer(reason)) {
            return false;
        }
    }
    mailbox_ = StartsSeparator(buffer_);
    return true;
}

bool MessageStream::FillBuffer(std::string* reason) {
    if (taken_ > 0) {
        buffer_.erase(0, taken_);
        taken_ = 0;
    }
    const std::size_t had = buffer_.size();
    buffer_.resize(had + kReadChunk);
    std::size_t got = 0;
    const bool ok = ReadInputFile(&file_, &buffer_[had], kReadChunk, &got, reason);
    buffer_.resize(had + got);
    bytesRead_ += got;
    atEnd_ = !ok || got == 0;
    return ok;
}

bool MessageStream::ReadLine(std::string* line, std::string* reason) {
    line->clear();
    std::size_t searched = 0; // bytes after taken_ known to hold no line feed
    for (;;) {
        const std::size_t end = buffer_.find('\n', taken_ + searched);
        if (end != std::string::npos) {
            line->assign(buffer_, taken_, end + 1 - taken_);
            taken_ = end + 1;
            return true;
        }
        if (atEnd_) {
            line->assign(buffer_, taken_, std::string::npos);
            taken_ = buffer_.size();
            return !line->empty();
        }
        // A long line is searched once, not again from its start after
        // every further piece.
        searched = buffer_.size() - taken_;
        if (!FillBuffer(reason)) {
            return false;
        }
    }
}

bool MessageStream::Next(StreamedMessage* message, std::string* reason) {
    reason->clear();
    message->text.clear();
    message->separatorSender.clear();
    if (mailbox_) {
        return NextMailboxMessage(message, reason);
    }
    if (wholeTaken_) {
        return false;
    }
    while (!atEnd_) {
        if (!FillBuffer(reason)) {
            return false;
        }
    }
    message->text.assign(buffer_, taken_, std::string::npos);
    buffer_.clear();
    taken_ = 0;
    wholeTaken_ = true;
    return true;
}

// A message runs from its separator to the next separator line that follows
// an empty line, or to the end of the input. Writers put that empty line
// after every message, the last one included: it is not the message's own.
bool MessageStream::NextMailboxMessage(StreamedMessage* message, std::string* reason) {
    if (separator_.empty() && !ReadLine(&separator_, reason)) {
        return false;
    }
    message->separatorSender = SeparatorSender(separator_);
    separator_.clear();
    std::string line;
    std::string heldEmptyLine;
    while (ReadLine(&line, reason)) {
        if (!heldEmptyLine.empty() && StartsSeparator(line)) {
            separator_ = line;
            return true;
        }
        message->text += heldEmptyLine;
        heldEmptyLine.clear();
        if (IsEmptyLine(line)) {
            heldEmptyLine = line;
        } else {
            message->text += UnquoteFromLine(line);
        }
    }
    return reason->empty();
}
