// Messages from an input; see message_stream.h.
#include "runner/mailbox/message_stream.h"

#include "platform/ascii_text.h"
#include "platform/header_reader.h"
#include "platform/line_ends.h"
#include "runner/mailbox/mailbox_headers.h"
#include "runner/mailbox/mbox_separator.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr const char* kNullSender = "<>";
constexpr const char* kMailerDaemon = "MAILER-DAEMON";
// An .emlx file's first line: the message's length in decimal digits, as
// many as a 64-bit count has at most, perhaps blanks after them.
constexpr std::size_t kMostEmlxCountDigits = 19;
constexpr std::size_t kLongestEmlxCountLine = 64;
constexpr std::uint64_t kDecimalBase = 10;
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kByteOrderMarkLength = 3;
constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();
// How far past the point where a message would otherwise end its
// Content-Length: may reach and still be checked: further, a made-up
// number would have the rest of a mailbox read into memory.
constexpr std::uint64_t kContentLengthReach = 64 * 1024 * 1024;
// How much of a line is looked at when only a separator line, MMDF's
// delimiter or a blank line matters: a longer line is none of them.
constexpr std::uint64_t kMarkLineReach = kLongestSeparatorLine + 1;

// True when the line is mboxrd's quoting of a "From " line: '>'s, then
// "From ".
bool IsQuotedFromLine(const char* line, std::size_t length) {
    std::size_t quotes = 0;
    while (quotes < length && line[quotes] == '>') {
        ++quotes;
    }
    return quotes > 0 && length - quotes >= kMboxFromPrefixLength &&
           std::memcmp(line + quotes, kMboxFromPrefix, kMboxFromPrefixLength) == 0;
}

// Appends the `size` bytes at `data` to `text`, one '>' off each quoted
// "From " line.
void AppendUnquoted(const char* data, std::size_t size, std::string* text) {
    text->reserve(text->size() + size);
    std::size_t at = 0;
    while (at < size) {
        const char* lf = static_cast<const char*>(std::memchr(data + at, '\n', size - at));
        const std::size_t end = lf == nullptr ? size : static_cast<std::size_t>(lf - data) + 1;
        const std::size_t skip = IsQuotedFromLine(data + at, end - at) ? 1 : 0;
        text->append(data + at + skip, end - at - skip);
        at = end;
    }
}

// Makes every lone CR of `text` an LF (see line_ends.h): the stand-in
// server splits lines at LF only. Returns how many there were.
std::size_t MendLoneCarriageReturnsOf(std::string* text) {
    return MendLoneCarriageReturns(&(*text)[0], text->size());
}

} // namespace

// A message of a mailbox while it is being read, as offsets in the input.
struct MessageStream::Found {
    std::uint64_t start = 0;
    std::uint64_t textStart = 0;
    std::uint64_t textEnd = 0;
    std::uint64_t end = 0;
    HeaderReader headerReader;    // its header section's lines, till hasBody
    MailboxHeaderScan headerScan; // what they have said so far
    bool hasBody = false;         // a blank line ends its header section
    std::uint64_t bodyStart = 0;  // past that blank line
    std::string sender;
    bool unquoted = false;
    bool deleted = false;
    bool headersRead = false; // its header section fit the size limit, and was read
    MailboxHeaders headers;
    bool lettingGo = false; // certainly too large: its bytes go as they pass
    bool tooLarge = false;  // its stored text is larger than the size limit
};

std::string SeparatorSender(const std::string& separatorLine) {
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!FindSeparatorSender(separatorLine.data(), separatorLine.size(), &begin, &end)) {
        return std::string();
    }
    const std::string address = separatorLine.substr(begin, end - begin);
    const std::size_t daemonLength = std::strlen(kMailerDaemon);
    if (address == kNullSender ||
        (address.size() == daemonLength &&
         EqualsIgnoringCase(address.data(), kMailerDaemon, daemonLength))) {
        return kNullSender;
    }
    // "From -", "From ???@???": the writer did not know the sender, and
    // its placeholder must not pass for one.
    if (!IsSenderAddress(address.data(), address.size())) {
        return std::string();
    }
    return address;
}

MessageStream::MessageStream(std::size_t readChunk, std::uint64_t maxMessage)
    : readChunk_(std::max<std::size_t>(readChunk, 1)), chunk_(new char[readChunk_]),
      maxMessage_(maxMessage) {}

MessageStream::~MessageStream() {
    CloseInputFile(&file_);
}

bool MessageStream::Open(const std::string& path, std::string* reason) {
    InputFile file;
    if (!OpenInputFile(path, &file, reason)) {
        return false;
    }
    return Take(&file, reason);
}

bool MessageStream::Take(InputFile* file, std::string* reason) {
    file_ = *file;
    *file = InputFile();
    size_ = InputFileSize(file_);
    return DetectFormat(reason);
}

void MessageStream::OpenBytes(const char* data, std::size_t size) {
    memory_ = data;
    memorySize_ = size;
    fromMemory_ = true;
    size_ = size;
    std::string neverSet; // memory cannot fail to read
    DetectFormat(&neverSet);
}

bool MessageStream::ReadSome(char* into, std::size_t size, std::size_t* got, std::string* reason) {
    if (!fromMemory_) {
        return ReadInputFile(&file_, into, size, got, reason);
    }
    *got = std::min(size, memorySize_ - static_cast<std::size_t>(bytesRead_));
    if (*got > 0) {
        std::memcpy(into, memory_ + bytesRead_, *got);
    }
    return true;
}

// Appends one read to the buffer. Bytes before pos_ and letGo_ are no
// longer needed: they go once they are half the buffer, so that each byte
// moves a bounded number of times however small the reads, or when the
// buffer is full, before it grows. When all of the buffer may go, the
// read's bytes land where they belong all the same.
bool MessageStream::ReadMore(std::string* reason) {
    const std::uint64_t keep = std::max(pos_, letGo_);
    const auto done =
        static_cast<std::size_t>(std::min<std::uint64_t>(keep - bufferStart_, buffer_.size()));
    const bool full = buffer_.size() + readChunk_ > buffer_.capacity();
    if (done > 0 && (done >= buffer_.size() / 2 || full)) {
        buffer_.erase(0, done);
        bufferStart_ += done;
    }
    const std::size_t had = buffer_.size();
    Grow(had + readChunk_);
    std::size_t got = 0;
    const bool ok = ReadSome(chunk_.get(), readChunk_, &got, reason);
    buffer_.append(chunk_.get(), got);
    bytesRead_ += got;
    atEnd_ = !ok || got == 0;
    return ok;
}

// Makes room for `need` bytes in the buffer, doubling it as a string would
// but no further than a message at the size limit needs (with its
// separator line, the rest of its last line and a read past it): a buffer
// grown to twice the limit would make the limit on memory twice what it
// says. Past that (a Content-Length: checked), it doubles.
void MessageStream::Grow(std::size_t need) {
    if (need <= buffer_.capacity()) {
        return;
    }
    const std::uint64_t most = maxMessage_ > kNoLimit / 2
                                   ? kNoLimit
                                   : maxMessage_ + std::uint64_t{2} * (readChunk_ + kMarkLineReach);
    const std::uint64_t doubled =
        std::max<std::uint64_t>(need, std::uint64_t{2} * buffer_.capacity());
    // A new string reserved and the bytes moved over: reserving more in
    // the old one could double it anyway.
    std::string grown;
    grown.reserve(static_cast<std::size_t>(need > most ? doubled : std::min(doubled, most)));
    grown.assign(buffer_);
    buffer_.swap(grown);
}

// Reads until the byte before `offset` is in the buffer, or to the end.
bool MessageStream::ReadUpTo(std::uint64_t offset, std::string* reason) {
    while (bufferStart_ + buffer_.size() < offset && !atEnd_) {
        if (!ReadMore(reason)) {
            return false;
        }
    }
    return true;
}

// Sets `end` past the LF of the line at `at` (`at` itself at the input's
// end), reading as needed, but looks at no more than `limit` bytes: a
// longer line gets end = at + limit. A long line is searched once, not
// again from its start after every read. False on a read error.
bool MessageStream::LineEnd(std::uint64_t at, std::uint64_t limit, std::uint64_t* end,
                            std::string* reason) {
    const std::uint64_t last = limit > kNoLimit - at ? kNoLimit : at + limit;
    std::uint64_t searched = at;
    for (;;) {
        const std::uint64_t stop = std::min(bufferStart_ + buffer_.size(), last);
        if (stop > searched) {
            const char* from = At(searched);
            const void* lf = std::memchr(from, '\n', static_cast<std::size_t>(stop - searched));
            if (lf != nullptr) {
                *end =
                    searched + static_cast<std::uint64_t>(static_cast<const char*>(lf) - from) + 1;
                return true;
            }
            searched = stop;
        }
        if (stop == last || atEnd_) {
            *end = stop;
            return true;
        }
        if (!ReadMore(reason)) {
            return false;
        }
    }
}

// Whether the first line, at bomEnd_, is an .emlx file's byte count:
// digits alone (blanks may follow them) on a line of its own. No mail,
// and no other text admins keep, starts so.
bool MessageStream::DetectEmlx(std::string* reason) {
    std::uint64_t end = 0;
    if (!LineEnd(bomEnd_, kLongestEmlxCountLine + 1, &end, reason)) {
        return false;
    }
    const char* line = At(bomEnd_);
    const std::size_t length = static_cast<std::size_t>(end - bomEnd_);
    if (length == 0 || line[length - 1] != '\n') {
        return true;
    }
    std::size_t digits = 0;
    std::uint64_t count = 0;
    while (digits < length && line[digits] >= '0' && line[digits] <= '9') {
        count = count * kDecimalBase + static_cast<std::uint64_t>(line[digits] - '0');
        ++digits;
    }
    std::size_t rest = digits;
    while (rest < length && IsBlank(line[rest])) {
        ++rest;
    }
    const bool lineEnd = rest + 1 == length || (rest + 2 == length && line[rest] == '\r');
    if (digits > 0 && digits <= kMostEmlxCountDigits && lineEnd) {
        format_ = Format::kEmlx;
        emlxTextStart_ = end;
        emlxCount_ = count;
    }
    return true;
}

// Sets `end` past the line at `at` as LineEnd does, looking at no more
// than `room` bytes of it: a longer line is read past to its LF without
// being held, and `longLine` tells that its bytes are gone.
bool MessageStream::ScanLine(std::uint64_t at, std::uint64_t room, std::uint64_t* end,
                             bool* longLine, std::string* reason) {
    if (!LineEnd(at, room, end, reason)) {
        return false;
    }
    *longLine = *end - at == room && *At(*end - 1) != '\n';
    return !*longLine || SkipLine(*end, end, reason);
}

// Sets `end` past the first LF from `from` on (the input's end without
// one), letting every byte before it go as the search passes it.
bool MessageStream::SkipLine(std::uint64_t from, std::uint64_t* end, std::string* reason) {
    std::uint64_t searched = from;
    for (;;) {
        LetGoBefore(searched);
        const std::uint64_t stop = bufferStart_ + buffer_.size();
        if (stop > searched) {
            const char* start = At(searched);
            const void* lf = std::memchr(start, '\n', static_cast<std::size_t>(stop - searched));
            if (lf != nullptr) {
                *end =
                    searched + static_cast<std::uint64_t>(static_cast<const char*>(lf) - start) + 1;
                return true;
            }
            searched = stop;
        }
        if (atEnd_) {
            *end = searched;
            return true;
        }
        if (!ReadMore(reason)) {
            return false;
        }
    }
}

// Bytes before `offset` are no longer needed, whatever pos_ says.
void MessageStream::LetGoBefore(std::uint64_t offset) {
    letGo_ = std::max(letGo_, offset);
}

// Sets `end` past the line at `at` of the message being found, whose text
// runs at least to `textSoFar`. Bytes are held to one past the size limit;
// once the text is over it, the message is too large for certain and its
// bytes go as they pass: only the start of each line is looked at (a
// separator, a delimiter or a blank line is short), and a longer line is
// read past (`longLine`: its bytes are gone).
bool MessageStream::MessageLine(Found* found, std::uint64_t textSoFar, std::uint64_t at,
                                std::uint64_t* end, bool* longLine, std::string* reason) {
    found->lettingGo = found->lettingGo || textSoFar - found->textStart > maxMessage_;
    std::uint64_t room = kMarkLineReach;
    if (found->lettingGo) {
        LetGoBefore(at);
    } else {
        const std::uint64_t limitEnd = maxMessage_ >= kNoLimit - found->textStart
                                           ? kNoLimit
                                           : found->textStart + maxMessage_ + 1;
        room = limitEnd > at ? std::max(room, limitEnd - at) : room;
    }
    if (!ScanLine(at, room, end, longLine, reason)) {
        return false;
    }
    // A line reaching past the limit is text, and too long for a
    // separator: the text is over the limit.
    found->lettingGo = found->lettingGo || *longLine;
    return true;
}

// Reads a line of a message's header section (not one read past: a long
// line makes the section larger than the size limit): its Content-Length:
// and X-Mozilla-Status: fields count; true when it is the empty line that
// ends the section. A lone CR at the input's end ends no header section:
// it is mended into a line end only once the message is taken, and the
// section ran to it.
bool MessageStream::ReadHeaderLine(Found* found, std::uint64_t at, std::size_t length) {
    const char* line = At(at);
    const HeaderLine read = found->headerReader.Push(line, length);
    ReadMailboxHeaderLine(line, length, read, &found->headerScan);
    return read.kind == HeaderLineKind::kEnd && length > 0 && line[length - 1] == kLineFeed;
}

// What a message's header section, [textStart, headersEnd), has said when
// it is no larger than the size limit (a larger one is not held); else its
// fields count as absent.
void MessageStream::ReadHeaders(Found* found, std::uint64_t headersEnd) {
    if (headersEnd - found->textStart > maxMessage_) {
        return;
    }
    found->headers = found->headerScan.found;
    found->headersRead = true;
}

// Whether the message's stored text is larger than the size limit.
void MessageStream::JudgeSize(Found* found) const {
    found->tooLarge = found->textEnd - found->textStart > maxMessage_;
}

// Looks past a byte-order mark and blank lines at the first line: a
// separator or an MMDF delimiter makes the input a mailbox, a byte count
// an .emlx file.
bool MessageStream::DetectFormat(std::string* reason) {
    if (!ReadUpTo(kByteOrderMarkLength, reason)) {
        return false;
    }
    if (buffer_.compare(0, kByteOrderMarkLength, kByteOrderMark) == 0) {
        bomEnd_ = kByteOrderMarkLength;
    }
    if (!DetectEmlx(reason)) {
        return false;
    }
    if (format_ == Format::kEmlx) {
        leadEnd_ = bomEnd_;
        return true;
    }
    std::uint64_t at = bomEnd_;
    std::uint64_t end = 0;
    for (;;) {
        if (!LineEnd(at, kLongestSeparatorLine + 1, &end, reason)) {
            return false;
        }
        if (!IsBlankLine(At(at), static_cast<std::size_t>(end - at))) {
            break;
        }
        at = end;
    }
    const std::size_t length = static_cast<std::size_t>(end - at);
    if (IsMmdfDelimiter(At(at), length)) {
        format_ = Format::kMmdf;
    } else if (IsSeparatorLine(At(at), length)) {
        format_ = Format::kMbox;
    }
    leadEnd_ = IsMailbox() ? at : bomEnd_;
    return true;
}

bool MessageStream::Head(std::size_t bytes, std::string* head, std::string* reason) {
    // The message's own first bytes: an .emlx file's count line is not mail.
    const std::uint64_t start = format_ == Format::kEmlx ? emlxTextStart_ : bomEnd_;
    if (!ReadUpTo(start + bytes, reason)) {
        return false;
    }
    const std::uint64_t held = bufferStart_ + buffer_.size() - start;
    head->assign(At(start), static_cast<std::size_t>(std::min<std::uint64_t>(held, bytes)));
    return true;
}

void MessageStream::SkipLead() {
    leadSkipped_ = true;
    if (bomEnd_ > 0) {
        Note(StreamNote::Kind::kByteOrderMark, 0, bomEnd_, "byte-order mark skipped");
    }
    if (leadEnd_ > bomEnd_) {
        Note(StreamNote::Kind::kLeadingBlankLines, bomEnd_, leadEnd_,
             "blank lines before the first message skipped");
    }
    pos_ = leadEnd_;
}

void MessageStream::Note(StreamNote::Kind kind, std::uint64_t begin, std::uint64_t end,
                         const std::string& text) {
    notes_.push_back(StreamNote{kind, begin, end, text});
}

bool MessageStream::Next(StreamedMessage* message, std::string* reason) {
    reason->clear();
    message->text.clear();
    message->tooLarge = false;
    message->separatorSender.clear();
    notes_.clear();
    span_ = MessageSpan();
    if (!leadSkipped_) {
        SkipLead();
    }
    if (!IsMailbox()) {
        return NextWholeMessage(message, reason);
    }
    Found found;
    for (;;) {
        const bool got = format_ == Format::kMbox ? FindMboxMessage(&found, reason)
                                                  : FindMmdfMessage(&found, reason);
        if (!got) {
            return false;
        }
        ++number_;
        if (!found.deleted) {
            break;
        }
        Note(StreamNote::Kind::kDeletedMessage, found.start, found.end,
             "message " + std::to_string(number_) +
                 " is marked deleted (X-Mozilla-Status:): skipped");
        pos_ = found.end;
    }
    TakeFound(found, message);
    pos_ = found.end;
    return true;
}

// A message file is its one message, read whole into a buffer sized for
// it and handed over, so that the text is the only copy; of an .emlx file,
// the bytes its first line counts. One larger than the size limit, by its
// file's size or by the bytes read, is not read further.
bool MessageStream::NextWholeMessage(StreamedMessage* message, std::string* reason) {
    if (wholeTaken_) {
        return false;
    }
    wholeTaken_ = true;
    number_ = 1;
    const bool sized = size_ > pos_;
    bool tooLarge = OverLimitBySize();
    if (sized && !tooLarge && size_ < buffer_.max_size() - readChunk_) {
        buffer_.reserve(static_cast<std::size_t>(size_) + readChunk_);
    }
    while (!atEnd_ && !tooLarge) {
        if (!ReadMore(reason)) {
            return false;
        }
        tooLarge = bufferStart_ + buffer_.size() - pos_ > maxMessage_;
    }
    if (tooLarge) {
        // Its end as far as it is known: a file's size, or what was read.
        const std::uint64_t end = std::max(size_, bufferStart_ + buffer_.size());
        span_ = MessageSpan{number_, pos_, pos_, end, end, false};
        message->tooLarge = true;
        std::string().swap(buffer_);
        bufferStart_ = pos_ = end;
        return true;
    }
    buffer_.erase(0, static_cast<std::size_t>(pos_ - bufferStart_));
    bufferStart_ = pos_;
    const std::uint64_t end = pos_ + buffer_.size();
    std::uint64_t textStart = pos_;
    std::uint64_t textEnd = end;
    if (format_ == Format::kEmlx) {
        textStart = emlxTextStart_;
        textEnd = emlxCount_ > end - textStart ? end : textStart + emlxCount_;
        if (emlxCount_ > end - textStart) {
            Note(StreamNote::Kind::kShortEmlx, textEnd, textEnd,
                 "its first line counts " + std::to_string(emlxCount_) +
                     " bytes of message, more than the file holds: read to its end");
        }
        buffer_.resize(static_cast<std::size_t>(textEnd - pos_));
        buffer_.erase(0, static_cast<std::size_t>(textStart - pos_));
    }
    const std::size_t mended = MendLoneCarriageReturnsOf(&buffer_);
    span_ = MessageSpan{number_, pos_, textStart, textEnd, end, false};
    if (mended > 0) {
        Note(StreamNote::Kind::kLoneCarriageReturns, pos_, pos_,
             std::to_string(mended) + " line ends of a lone CR read as LF");
    }
    message->text.swap(buffer_);
    std::string().swap(buffer_);
    bufferStart_ = pos_ = span_.end;
    return true;
}

// The mbox message at pos_, a separator line: it runs to the next
// separator line or the input's end; a blank line just before either is
// the writer's, not the message's. False at the end or on a read error.
bool MessageStream::FindMboxMessage(Found* found, std::string* reason) {
    std::uint64_t separatorEnd = 0;
    if (!LineEnd(pos_, kMarkLineReach, &separatorEnd, reason) || separatorEnd == pos_) {
        return false;
    }
    *found = Found();
    found->start = pos_;
    found->textStart = separatorEnd;
    found->sender =
        SeparatorSender(std::string(At(pos_), static_cast<std::size_t>(separatorEnd - pos_)));
    found->unquoted = true;
    std::uint64_t at = separatorEnd;
    std::uint64_t lastStart = at;
    bool lastBlank = false;
    for (;;) {
        std::uint64_t end = 0;
        bool longLine = false;
        // Its text runs at least to here: a blank line just before may be
        // the writer's.
        const std::uint64_t textSoFar = lastBlank ? lastStart : at;
        if (!MessageLine(found, textSoFar, at, &end, &longLine, reason)) {
            return false;
        }
        const std::size_t length = static_cast<std::size_t>(end - at);
        if (!longLine && (end == at || IsSeparatorLine(At(at), length))) {
            break;
        }
        const bool blank = !longLine && IsBlankLine(At(at), length);
        if (!longLine && !found->hasBody && ReadHeaderLine(found, at, length)) {
            found->hasBody = true;
            found->bodyStart = end;
            ReadHeaders(found, end);
        }
        lastBlank = blank;
        lastStart = at;
        at = end;
    }
    found->textEnd = lastBlank ? lastStart : at;
    found->end = at;
    JudgeSize(found);
    if (!found->hasBody) {
        ReadHeaders(found, found->textEnd);
    }
    found->deleted = found->headersRead && found->headers.deleted;
    if (!found->headersRead || !found->headers.hasContentLength || !found->hasBody) {
        return true;
    }
    return ApplyContentLength(found->headers.contentLength, found, reason);
}

// Honours a Content-Length: (mboxcl2) when the body it gives ends exactly
// on a separator line, a blank line and one, or the input's end: the
// message is then its bytes as stored, "From " lines and all, which is
// what the field is for. Otherwise it is ignored, with a note. It can
// land only where the message's text ends or past the message: a
// separator line, or a blank line before one, earlier on would have ended
// the message there. So the bytes of a message too large, which may be
// gone already, are never looked at; those after its end are held while
// the landing is checked, as the next message starts there if it does not
// land.
bool MessageStream::ApplyContentLength(std::uint64_t length, Found* found, std::string* reason) {
    bool lands = false;
    std::uint64_t closeEnd = 0;
    const std::uint64_t bodyEnd =
        length > kNoLimit - found->bodyStart ? kNoLimit : found->bodyStart + length;
    if (bodyEnd == found->textEnd && found->textEnd < found->end) {
        // On the blank line the writer put before the separator (or the
        // input's end) that ended the message.
        lands = true;
        closeEnd = found->end;
    } else if (bodyEnd >= found->end && bodyEnd - found->end <= kContentLengthReach) {
        if (found->tooLarge) {
            LetGoBefore(found->end);
        }
        if (!LandsOnSeparator(*found, bodyEnd, &lands, &closeEnd, reason)) {
            return false;
        }
    }
    if (!lands) {
        Note(StreamNote::Kind::kIgnoredContentLength, found->start, found->start,
             "message " + std::to_string(number_ + 1) +
                 ": its Content-Length: does not end on a separator: ignored");
        return true;
    }
    found->textEnd = bodyEnd;
    found->end = closeEnd;
    found->unquoted = false;
    JudgeSize(found);
    return true;
}

// Whether `at`, at or past the end of the message found, starts a
// separator line, a blank line before one or before the input's end, or
// is that end; `closeEnd` is then where the message's closing ends.
bool MessageStream::LandsOnSeparator(const Found& found, std::uint64_t at, bool* lands,
                                     std::uint64_t* closeEnd, std::string* reason) {
    *lands = false;
    if (!ReadUpTo(at + 1, reason)) {
        return false;
    }
    // One byte past `at` is there now, or the input has ended.
    const std::uint64_t inputEnd = bufferStart_ + buffer_.size();
    if (atEnd_ && at >= inputEnd) {
        *lands = at == inputEnd;
        *closeEnd = at;
        return true;
    }
    if (at != found.end && *At(at - 1) != '\n') {
        return true; // inside a line
    }
    std::uint64_t end = 0;
    if (!LineEnd(at, kMarkLineReach, &end, reason)) {
        return false;
    }
    *closeEnd = at;
    *lands = end == at || IsSeparatorLine(At(at), static_cast<std::size_t>(end - at));
    if (*lands || !IsBlankLine(At(at), static_cast<std::size_t>(end - at))) {
        return true;
    }
    std::uint64_t nextEnd = 0;
    if (!LineEnd(end, kMarkLineReach, &nextEnd, reason)) {
        return false;
    }
    *closeEnd = end;
    *lands = nextEnd == end || IsSeparatorLine(At(end), static_cast<std::size_t>(nextEnd - end));
    return true;
}

// The MMDF message at pos_: from a delimiter line (and the "From " line
// some writers put after it) to the next delimiter line. Lines before the
// opening delimiter belong to no message, and are not held. False at the
// end or on a read error.
bool MessageStream::FindMmdfMessage(Found* found, std::string* reason) {
    *found = Found();
    std::uint64_t at = pos_;
    std::uint64_t end = 0;
    for (;;) {
        LetGoBefore(at);
        bool longLine = false;
        if (!ScanLine(at, kMarkLineReach, &end, &longLine, reason)) {
            return false;
        }
        if (!longLine &&
            (end == at || IsMmdfDelimiter(At(at), static_cast<std::size_t>(end - at)))) {
            break;
        }
        at = end;
    }
    if (at > pos_) {
        Note(StreamNote::Kind::kStrayText, pos_, at, "text outside the MMDF delimiters skipped");
        pos_ = at;
    }
    if (end == at) {
        return false;
    }
    found->start = at;
    found->textStart = end;
    std::uint64_t fromEnd = 0;
    if (!LineEnd(end, kMarkLineReach, &fromEnd, reason)) {
        return false;
    }
    if (IsSeparatorLine(At(end), static_cast<std::size_t>(fromEnd - end))) {
        found->sender =
            SeparatorSender(std::string(At(end), static_cast<std::size_t>(fromEnd - end)));
        found->textStart = fromEnd;
    }
    at = found->textStart;
    for (;;) {
        bool longLine = false;
        if (!MessageLine(found, at, at, &end, &longLine, reason)) {
            return false;
        }
        const std::size_t length = static_cast<std::size_t>(end - at);
        if (!longLine && (end == at || IsMmdfDelimiter(At(at), length))) {
            break;
        }
        if (!longLine && !found->hasBody && ReadHeaderLine(found, at, length)) {
            found->hasBody = true;
            found->bodyStart = end;
            ReadHeaders(found, end);
        }
        at = end;
    }
    found->textEnd = at;
    found->end = end;
    JudgeSize(found);
    if (end == at) {
        Note(StreamNote::Kind::kUnclosedMessage, at, at,
             "message " + std::to_string(number_ + 1) + " has no closing MMDF delimiter");
    }
    if (!found->hasBody) {
        ReadHeaders(found, found->textEnd);
    }
    found->deleted = found->headersRead && found->headers.deleted;
    return true;
}

void MessageStream::TakeFound(const Found& found, StreamedMessage* message) {
    message->separatorSender = found.sender;
    span_ = MessageSpan{number_,       found.start, found.textStart,
                        found.textEnd, found.end,   found.unquoted};
    if (found.tooLarge) {
        message->tooLarge = true; // its bytes are not held: no text
        return;
    }
    const char* text = At(found.textStart);
    const std::size_t size = static_cast<std::size_t>(found.textEnd - found.textStart);
    if (found.unquoted) {
        AppendUnquoted(text, size, &message->text);
    } else {
        message->text.assign(text, size);
    }
    // One line-end rule for every message, in a mailbox as in a file of its
    // own: a lone CR ends a line, or a CR-only reply inside a mailbox would
    // be one long line to the server.
    const std::size_t mended = MendLoneCarriageReturnsOf(&message->text);
    if (mended > 0) {
        Note(StreamNote::Kind::kLoneCarriageReturns, found.start, found.start,
             "message " + std::to_string(number_) + ": " + std::to_string(mended) +
                 " line ends of a lone CR read as LF");
    }
}
