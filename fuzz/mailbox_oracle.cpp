// Checks on any reading of an input; see mailbox_oracle.h.
#include "fuzz/mailbox_oracle.h"

#include "fuzz/fuzz_require.h"

#include <cctype>
#include <cstdint>
#include <string>

namespace {

constexpr const char* kBom = "\xEF\xBB\xBF";
constexpr std::size_t kBomLength = 3;
constexpr const char* kDelimiter = "\x01\x01\x01\x01";
constexpr const char* kFrom = "From ";
constexpr std::size_t kFromLength = 5;
constexpr std::size_t kYearDigits = 4;
constexpr std::size_t kMostCountDigits = 19;

bool StartsWith(const std::string& text, const char* start) {
    return text.compare(0, std::string(start).size(), start) == 0;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The lines of `text`, each with its LF (the last one may have none).
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lf = text.find('\n', at);
        const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

bool IsBlank(const std::string& line) {
    return line == "\n" || line == "\r\n";
}

bool IsDelimiterLine(const std::string& line) {
    return line == std::string(kDelimiter) || line == std::string(kDelimiter) + "\n" ||
           line == std::string(kDelimiter) + "\r\n";
}

// A loose look for a date: a weekday's and a month's name, a time and a
// four-digit year among the line's words. Any separator has these.
bool LooksDated(const std::string& line) {
    static const std::vector<std::string> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const std::vector<std::string> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    bool day = false;
    bool month = false;
    bool time = false;
    bool year = false;
    std::string word;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const char c = i < line.size() ? line[i] : ' ';
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            word += c;
            continue;
        }
        for (const std::string& name : kDays) {
            day = day || word == name;
        }
        for (const std::string& name : kMonths) {
            month = month || word == name;
        }
        const std::size_t colon = word.find(':');
        time = time || (colon != std::string::npos && colon > 0 && colon + 1 < word.size() &&
                        isdigit(static_cast<unsigned char>(word[colon - 1])) &&
                        isdigit(static_cast<unsigned char>(word[colon + 1])));
        year = year || (word.size() == kYearDigits &&
                        word.find_first_not_of("0123456789") == std::string::npos);
        word.clear();
    }
    return day && month && time && year;
}

// mboxrd's unquoting: '>' off every line that is '>'s then "From ".
std::string Unquote(const std::string& text) {
    std::string plain;
    for (const std::string& line : Lines(text)) {
        const std::size_t quotes = line.find_first_not_of('>');
        const bool quoted = quotes != std::string::npos && quotes > 0 &&
                            line.compare(quotes, kFromLength, kFrom) == 0;
        plain += quoted ? line.substr(1) : line;
    }
    return plain;
}

// The bytes a note says were skipped may be skipped.
void CheckSkipped(const StreamNote& note, const std::string& skipped) {
    using Kind = StreamNote::Kind;
    switch (note.kind) {
    case Kind::kByteOrderMark:
        Require(note.begin == 0 && skipped == kBom);
        break;
    case Kind::kLeadingBlankLines:
        Require(note.begin == 0 || note.begin == kBomLength);
        for (const std::string& line : Lines(skipped)) {
            Require(IsBlank(line));
        }
        break;
    case Kind::kDeletedMessage:
        Require(StartsWith(skipped, kFrom) || StartsWith(skipped, kDelimiter));
        Require(Lower(skipped).find("x-mozilla-status") != std::string::npos);
        break;
    case Kind::kStrayText:
        for (const std::string& line : Lines(skipped)) {
            Require(!IsDelimiterLine(line));
        }
        break;
    default:
        Require(false); // the other notes skip nothing
    }
}

// What introduced a mailbox's message: an mbox separator, or MMDF's
// delimiter and perhaps an mbox separator after it.
void CheckIntro(const std::string& intro, bool mmdf) {
    std::vector<std::string> lines = Lines(intro);
    Require(!lines.empty());
    if (mmdf) {
        Require(IsDelimiterLine(lines[0]));
        lines.erase(lines.begin());
    }
    Require(lines.size() <= 1 && (!lines.empty() || mmdf));
    if (!lines.empty()) {
        Require(StartsWith(lines[0], kFrom) && LooksDated(lines[0]));
    }
}

// An .emlx file's first line: digits alone (blanks may follow), whose
// number is the stored message's length, or more when nothing follows
// the message.
void CheckEmlxCount(const std::string& intro, std::size_t storedLength, bool toTheEnd) {
    const std::size_t digits = intro.find_first_not_of("0123456789");
    Require(digits != std::string::npos && digits > 0 && digits <= kMostCountDigits);
    const std::size_t rest = intro.find_first_not_of(" \t", digits);
    Require(rest != std::string::npos && (intro.compare(rest, std::string::npos, "\n") == 0 ||
                                          intro.compare(rest, std::string::npos, "\r\n") == 0));
    const unsigned long long count = std::stoull(intro.substr(0, digits));
    Require(count == storedLength || (toTheEnd && count > storedLength));
}

} // namespace

std::string MendCrs(std::string text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) {
            text[i] = '\n';
        }
    }
    return text;
}

Reading ReadChecked(const std::string& input, std::size_t chunk, std::uint64_t maxSize) {
    MessageStream stream(chunk, maxSize);
    stream.OpenBytes(input.data(), input.size());
    Reading reading;
    StreamedMessage message;
    std::string reason;
    std::uint64_t covered = 0;
    std::size_t lastNumber = 0;
    bool anyMmdf = false;
    bool anyMbox = false;
    bool unreadFile = false; // a message file too large to read
    for (std::size_t calls = 0;; ++calls) {
        Require(calls <= input.size() + 1); // each call takes a message or ends
        const bool more = stream.Next(&message, &reason);
        Require(reason.empty()); // memory is never unreadable
        for (const StreamNote& note : stream.Notes()) {
            reading.notes.push_back(note.kind);
            Require(!note.text.empty() && note.begin <= note.end && note.end <= input.size());
            Require(note.begin >= covered);
            if (note.begin < note.end) {
                Require(note.begin == covered);
                CheckSkipped(note, input.substr(note.begin, note.end - note.begin));
                covered = note.end;
            }
        }
        if (!more) {
            break;
        }
        const MessageSpan& span = stream.Span();
        Require(span.start == covered && span.start <= span.textStart &&
                span.textStart <= span.textEnd && span.textEnd <= span.end &&
                span.end <= input.size());
        Require(span.number > lastNumber);
        lastNumber = span.number;
        const std::string intro = input.substr(span.start, span.textStart - span.start);
        const std::string stored = input.substr(span.textStart, span.textEnd - span.textStart);
        const std::string closing = input.substr(span.textEnd, span.end - span.textEnd);
        Require(message.tooLarge == (stored.size() > maxSize));
        Require(!message.tooLarge || message.text.empty());
        if (!stream.IsMailbox()) {
            Require(span.end == input.size() && message.separatorSender.empty());
            Require(message.tooLarge || message.text == MendCrs(stored));
            unreadFile = message.tooLarge;
            if (intro.empty()) {
                Require(closing.empty());
            } else {
                CheckEmlxCount(intro, stored.size(), closing.empty());
            }
        } else {
            const bool mmdf = StartsWith(intro, kDelimiter);
            anyMmdf = anyMmdf || mmdf;
            anyMbox = anyMbox || !mmdf;
            CheckIntro(intro, mmdf);
            Require(closing.empty() || (mmdf ? IsDelimiterLine(closing) : IsBlank(closing)));
            Require(!span.unquoted || !mmdf);
            // Taken as stored only on the word of its Content-Length:.
            Require(span.unquoted || mmdf ||
                    Lower(stored).find("content-length") != std::string::npos);
            Require(message.tooLarge ||
                    message.text == MendCrs(span.unquoted ? Unquote(stored) : stored));
            Require(message.separatorSender.empty() || message.separatorSender == "<>" ||
                    intro.find(message.separatorSender) != std::string::npos);
        }
        reading.texts.push_back(message.text);
        reading.senders.push_back(message.separatorSender);
        covered = span.end;
    }
    Require(!(anyMmdf && anyMbox));
    // A first line (after a byte-order mark and blank lines) of MMDF's
    // delimiter makes a mailbox.
    const std::size_t lead = StartsWith(input, kBom) ? kBomLength : 0;
    const std::vector<std::string> lines = Lines(input.substr(lead));
    std::size_t first = 0;
    while (first < lines.size() && IsBlank(lines[first])) {
        ++first;
    }
    Require(first == lines.size() || !IsDelimiterLine(lines[first]) || stream.IsMailbox());
    Require(covered == input.size());
    Require(stream.BytesRead() == input.size() || unreadFile);
    return reading;
}
