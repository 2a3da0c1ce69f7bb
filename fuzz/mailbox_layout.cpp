// Mailboxes laid out from a fuzzer's bytes; see mailbox_layout.h.
#include "fuzz/mailbox_layout.h"

#include "fuzz/mailbox_oracle.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

using Kind = StreamNote::Kind;

constexpr const char* kBom = "\xEF\xBB\xBF";
constexpr const char* kDelimiter = "\x01\x01\x01\x01";
constexpr const char* kFrom = "From ";
constexpr std::size_t kFromLength = 5;
constexpr std::size_t kMostMessages = 6;
constexpr int kMostLeadingBlankLines = 2;
constexpr std::size_t kLongestPart = 200;              // fuzz bytes for headers, and for a body
constexpr std::size_t kLongestSender = 20;             // fuzz bytes for a sender
constexpr std::uint64_t kPastAnyInput = 1000000000000; // a Content-Length no input here reaches
constexpr unsigned kDeletedFlag = 0x0008;
constexpr unsigned kLargestStatus = 0xFFFF;
// What writers put for a sender they did not know; no address.
const std::string kPlaceholders[] = {"???@???", "???", "?@?", "(unknown)"};
constexpr std::size_t kLastPlaceholder = sizeof kPlaceholders / sizeof kPlaceholders[0] - 1;
constexpr char kAddressLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";

enum class MessageKind { kPlain, kDeleted, kRightLength, kWrongLength };
constexpr int kLastMessageKind = static_cast<int>(MessageKind::kWrongLength);

const char* const kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kLastWeekday = 6;
constexpr int kLastMonth = 11;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// `value` in at least `digits` digits, zeros before it.
std::string Padded(int value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    return text;
}

// A date as mail programs put it in a separator line.
std::string Date(FuzzedDataProvider* fuzz) {
    const std::string weekday = kWeekdays[fuzz->ConsumeIntegralInRange(0, kLastWeekday)];
    const std::string month = kMonths[fuzz->ConsumeIntegralInRange(0, kLastMonth)];
    const int day = fuzz->ConsumeIntegralInRange(1, 31);
    const int dayStyle = fuzz->ConsumeIntegralInRange(0, 2); // "8", " 8" or "08"
    const std::string dayText = dayStyle == 0   ? std::to_string(day)
                                : dayStyle == 1 ? (day < 10 ? " " : "") + std::to_string(day)
                                                : Padded(day, 2);
    // One call a statement: the order in which the bytes are taken is fixed.
    const int hour = fuzz->ConsumeIntegralInRange(0, 23);
    const int hourDigits = fuzz->ConsumeBool() ? 2 : 1;
    const int minute = fuzz->ConsumeIntegralInRange(0, 59);
    std::string time = Padded(hour, hourDigits) + ":" + Padded(minute, 2);
    if (fuzz->ConsumeBool()) {
        time += ":" + Padded(fuzz->ConsumeIntegralInRange(0, 60), 2);
    }
    const std::string year = Padded(fuzz->ConsumeIntegralInRange(1000, 9999), 4);
    const std::string sign = fuzz->ConsumeBool() ? "+" : "-";
    const std::string offset = sign + Padded(fuzz->ConsumeIntegralInRange(0, 9999), 4);
    const std::string start = weekday + " " + month + " " + dayText + " " + time + " ";
    switch (fuzz->ConsumeIntegralInRange(0, 5)) {
    case 1:
        return start + year + " " + offset;
    case 2:
        return start + offset + " " + year;
    case 3:
        return start + year + " UTC";
    case 4:
        return start + "UTC " + year;
    case 5:
        return start + "MET DST " + year;
    default:
        return start + year;
    }
}

// A separator's sender word, and the sender a reader must take from it:
// none from the placeholders of writers that did not know it ("-",
// "???@???"), "<>" for the null sender's names, else the address itself.
void Sender(FuzzedDataProvider* fuzz, std::string* word, std::string* expected) {
    switch (fuzz->ConsumeIntegralInRange(0, 4)) {
    case 0:
        *word = "-";
        break;
    case 1:
        *word = "<>";
        break;
    case 2:
        *word = fuzz->ConsumeBool() ? "MAILER-DAEMON" : "mailer-daemon";
        break;
    case 3:
        *word = kPlaceholders[fuzz->ConsumeIntegralInRange<std::size_t>(0, kLastPlaceholder)];
        break;
    default:
        // A local part of the fuzzer's letters and digits at an example
        // domain: an address by any reading.
        for (char c : fuzz->ConsumeRandomLengthString(kLongestSender)) {
            *word += kAddressLetters[static_cast<unsigned char>(c) % (sizeof kAddressLetters - 1)];
        }
        *word = (word->empty() ? std::string("a") : *word) + "@example.org";
    }
    const bool none = *word == "-" || std::find(std::begin(kPlaceholders), std::end(kPlaceholders),
                                                *word) != std::end(kPlaceholders);
    *expected = none ? "" : *word == "<>" || Lower(*word) == "mailer-daemon" ? "<>" : *word;
}

// Lines from the fuzzer's bytes, each ended by `eol`. In a header section
// none is blank, and none is a mailbox field, a "From " line or a
// delimiter, that the reader would act on.
std::string FuzzLines(FuzzedDataProvider* fuzz, const std::string& eol, bool header) {
    const std::string raw = fuzz->ConsumeRandomLengthString(kLongestPart);
    std::string lines;
    std::size_t at = 0;
    while (at < raw.size()) {
        const std::size_t lf = raw.find('\n', at);
        const std::size_t end = lf == std::string::npos ? raw.size() : lf;
        std::string line = raw.substr(at, end - at);
        at = end + 1;
        const std::string unquoted =
            line.substr(std::min(line.find_first_not_of('>'), line.size()));
        const bool delimiter = line == kDelimiter || line == std::string(kDelimiter) + "\r";
        const bool acted = line.empty() || line == "\r" || StartsWith(unquoted, kFrom) ||
                           StartsWith(Lower(line), "content-length") ||
                           StartsWith(Lower(line), "x-mozilla-status");
        if (delimiter || (header && acted)) {
            line = "X" + line;
        }
        lines += line + eol;
    }
    return lines;
}

// mboxrd's quoting: a '>' before every line that is '>'s then "From ";
// with `onlyWhatMust`, not before a "From " line that cannot be a
// separator for want of a time.
std::string Quote(const std::string& text, bool onlyWhatMust) {
    std::string quoted;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lf = text.find('\n', at);
        const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
        const std::string line = text.substr(at, end - at);
        at = end;
        const std::size_t quotes = std::min(line.find_first_not_of('>'), line.size());
        const bool fromLine = line.compare(quotes, kFromLength, kFrom) == 0;
        const bool harmless = onlyWhatMust && quotes == 0 && line.find(':') == std::string::npos;
        quoted += fromLine && !harmless ? ">" + line : line;
    }
    return quoted;
}

bool EndsWithBlankLine(const std::string& text) {
    if (text.empty() || text.back() != '\n') {
        return false;
    }
    const std::size_t before =
        text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
    const std::string line = text.substr(before == std::string::npos ? 0 : before + 1);
    return line == "\n" || line == "\r\n";
}

std::string Status(FuzzedDataProvider* fuzz, bool deleted, const std::string& eol) {
    unsigned status = fuzz->ConsumeIntegralInRange(0u, kLargestStatus);
    status = deleted ? status | kDeletedFlag : status & ~kDeletedFlag;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", status);
    return std::string("X-Mozilla-Status: ") + hex + eol;
}

} // namespace

MailboxLayout LayOutMailbox(FuzzedDataProvider* fuzz) {
    MailboxLayout layout;
    std::string& out = layout.bytes;
    Reading& expected = layout.expected;
    const bool mmdf = fuzz->ConsumeBool();
    if (fuzz->ConsumeBool()) {
        out += kBom;
        expected.notes.push_back(Kind::kByteOrderMark);
    }
    const int blankLines = fuzz->ConsumeIntegralInRange(0, kMostLeadingBlankLines);
    for (int i = 0; i < blankLines; ++i) {
        out += fuzz->ConsumeBool() ? "\r\n" : "\n";
    }
    if (blankLines > 0) {
        expected.notes.push_back(Kind::kLeadingBlankLines);
    }
    const std::size_t count = fuzz->ConsumeIntegralInRange<std::size_t>(1, kMostMessages);
    for (std::size_t i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        auto kind = static_cast<MessageKind>(fuzz->ConsumeIntegralInRange(0, kLastMessageKind));
        if (mmdf && kind != MessageKind::kDeleted) {
            kind = MessageKind::kPlain; // MMDF needs no Content-Length:
        }
        const std::string eol = fuzz->ConsumeBool() ? "\r\n" : "\n";
        std::string word;
        std::string sender;
        Sender(fuzz, &word, &sender);
        const std::string date = Date(fuzz);
        const std::string trailing = fuzz->ConsumeBool() ? " " : "";
        const std::string separator = kFrom + word + " " + date + trailing + eol;
        const bool lengthGiven =
            kind == MessageKind::kRightLength || kind == MessageKind::kWrongLength;
        std::string prefix;
        if (kind == MessageKind::kDeleted || fuzz->ConsumeBool()) {
            prefix = Status(fuzz, kind == MessageKind::kDeleted, eol);
        }
        const std::string headers = FuzzLines(fuzz, eol, true);
        const bool hasBody = lengthGiven || fuzz->ConsumeBool();
        std::string body = hasBody ? FuzzLines(fuzz, eol, false) : std::string();
        // The last line of the input may end without a line end, when it
        // has some text (an empty one would be no line).
        const bool canOpen =
            last && body.size() > eol.size() && body[body.size() - eol.size() - 1] != '\n';
        const bool open = canOpen && fuzz->ConsumeBool();
        if (open) {
            body.resize(body.size() - eol.size());
        }
        const bool onlyWhatMust = fuzz->ConsumeBool();
        std::string text;   // as the reader must give it
        std::string stored; // as the mailbox holds it
        if (kind == MessageKind::kRightLength) {
            text = "Content-Length: " + std::to_string(body.size()) + eol + headers + eol + body;
            stored = text; // mboxcl2: nothing quoted
        } else if (kind == MessageKind::kWrongLength) {
            // A length that ends inside a line of the stored body, or
            // past the input.
            const std::string storedBody = Quote(body, onlyWhatMust);
            std::vector<std::size_t> insideLines;
            for (std::size_t p = 1; p < storedBody.size(); ++p) {
                if (storedBody[p - 1] != '\n') {
                    insideLines.push_back(p);
                }
            }
            const std::uint64_t length =
                insideLines.empty() ? kPastAnyInput
                                    : insideLines[fuzz->ConsumeIntegralInRange<std::size_t>(
                                          0, insideLines.size() - 1)];
            const std::string head = "Content-Length: " + std::to_string(length) + eol + headers;
            text = head + eol + body;
            stored = Quote(head, onlyWhatMust) + eol + storedBody;
            expected.notes.push_back(Kind::kIgnoredContentLength);
        } else {
            text = prefix + headers + (hasBody ? eol + body : std::string());
            stored = mmdf ? text : Quote(text, onlyWhatMust);
        }
        if (mmdf) {
            if (i > 0 && fuzz->ConsumeBool()) {
                out += eol; // a blank line between messages
                expected.notes.push_back(Kind::kStrayText);
            }
            out += std::string(kDelimiter) + eol;
            const bool envelope = fuzz->ConsumeBool();
            out += envelope ? separator : std::string();
            out += stored;
            if (last && (open || fuzz->ConsumeBool())) {
                expected.notes.push_back(Kind::kUnclosedMessage);
            } else {
                out += std::string(kDelimiter) + eol;
            }
            sender = envelope ? sender : std::string();
        } else {
            out += separator + stored;
            // The blank line writers put after a message; needed when the
            // message itself ends with one.
            const bool verbatim = kind == MessageKind::kRightLength;
            if (!open && ((!verbatim && EndsWithBlankLine(stored)) || fuzz->ConsumeBool())) {
                out += eol;
            }
        }
        if (kind == MessageKind::kDeleted) {
            expected.notes.push_back(Kind::kDeletedMessage);
        } else {
            // Lone CRs end lines in a mailbox's messages too, with a note.
            const std::string mended = MendCrs(text);
            if (mended != text) {
                expected.notes.push_back(Kind::kLoneCarriageReturns);
            }
            expected.texts.push_back(mended);
            expected.senders.push_back(sender);
        }
    }
    return layout;
}
