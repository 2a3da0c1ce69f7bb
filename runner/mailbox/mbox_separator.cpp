// Mailbox separator lines; see mbox_separator.h.
#include "runner/mailbox/mbox_separator.h"

#include "platform/ascii_text.h"

#include <cstring>
#include <vector>

namespace {

constexpr const char* kMmdfDelimiter = "\x01\x01\x01\x01";
constexpr std::size_t kMmdfDelimiterLength = 4;

// The date's tokens: weekday, month, day, time, then the year with at most
// two time-zone tokens around it ("UTC", "-0500", "MET DST").
constexpr std::size_t kFixedDateTokens = 4;
constexpr std::size_t kMostZoneTokens = 2;
constexpr std::size_t kFewestDateTokens = kFixedDateTokens + 1;
constexpr std::size_t kMostDateTokens = kFewestDateTokens + kMostZoneTokens;

constexpr const char* kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::size_t kNameLength = 3;
constexpr int kLastDay = 31;
constexpr int kLastHour = 23;
constexpr int kLastMinute = 59;
constexpr int kLastSecond = 60; // a leap second
constexpr std::size_t kYearDigits = 4;
constexpr std::size_t kOffsetDigits = 4; // "+hhmm"
constexpr std::size_t kLongestZoneName = 5;

// RFC 5322's atext less letters and digits: what a dot-atom local part
// may hold besides them.
constexpr const char* kAtextSymbols = "!#$%&'*+-/=?^_`{|}~";
// What a local user's bare name may hold besides letters and digits.
constexpr const char* kUserNameSymbols = "._-+";
constexpr char kAt = '@';
constexpr char kDot = '.';
constexpr char kQuote = '"';
constexpr char kBackslash = '\\';
constexpr char kOpenAngle = '<';
constexpr char kCloseAngle = '>';
constexpr char kOpenLiteral = '[';
constexpr char kCloseLiteral = ']';
constexpr unsigned char kFirst8Bit = 0x80;

struct Token {
    const char* at;
    std::size_t length;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A letter, a digit, or a byte of an 8-bit (UTF-8) character.
bool IsWordByte(char c) {
    return IsLetter(c) || IsDigit(c) || static_cast<unsigned char>(c) >= kFirst8Bit;
}

bool IsOneOfSymbols(char c, const char* symbols) {
    return c != '\0' && std::strchr(symbols, c) != nullptr;
}

// Dot-separated runs, none empty, each byte a word byte or one of
// `symbols`.
bool IsDottedRuns(const char* at, std::size_t length, const char* symbols) {
    if (length == 0 || at[0] == kDot || at[length - 1] == kDot) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (at[i] == kDot) {
            if (at[i - 1] == kDot) {
                return false;
            }
        } else if (!IsWordByte(at[i]) && !IsOneOfSymbols(at[i], symbols)) {
            return false;
        }
    }
    return true;
}

// A quoted local part: "..." with backslash pairs, no bare quote inside.
bool IsQuotedLocal(const char* at, std::size_t length) {
    const std::size_t quotes = 2;
    if (length <= quotes || at[0] != kQuote || at[length - 1] != kQuote) {
        return false;
    }
    for (std::size_t i = 1; i + 1 < length; ++i) {
        if (at[i] == kBackslash) {
            ++i; // the escaped byte, which must not be the closing quote
            if (i + 1 >= length) {
                return false;
            }
        } else if (at[i] == kQuote) {
            return false;
        }
    }
    return true;
}

// Letter-digit-hyphen labels (8-bit bytes for internationalised ones),
// or an address literal in brackets.
bool IsDomain(const char* at, std::size_t length) {
    if (length > 2 && at[0] == kOpenLiteral && at[length - 1] == kCloseLiteral) {
        return std::memchr(at + 1, kOpenLiteral, length - 2) == nullptr &&
               std::memchr(at + 1, kCloseLiteral, length - 2) == nullptr;
    }
    if (!IsDottedRuns(at, length, "-")) {
        return false;
    }
    // A label neither starts nor ends with its hyphen.
    for (std::size_t i = 0; i < length; ++i) {
        const bool labelStart = i == 0 || at[i - 1] == kDot;
        const bool labelEnd = i + 1 == length || at[i + 1] == kDot;
        if (at[i] == '-' && (labelStart || labelEnd)) {
            return false;
        }
    }
    return true;
}

// The value of `count` digits at `at`, or -1 when one is not a digit.
int DigitsValue(const char* at, std::size_t count) {
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!IsDigit(at[i])) {
            return -1;
        }
        value = value * 10 + (at[i] - '0');
    }
    return value;
}

bool IsOneOf(const Token& token, const char* const* names, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (token.length == kNameLength && std::memcmp(token.at, names[i], kNameLength) == 0) {
            return true;
        }
    }
    return false;
}

// One or two digits, 1 to 31 ("8" or " 8" as asctime pads it, "08").
bool IsDay(const Token& token) {
    if (token.length < 1 || token.length > 2) {
        return false;
    }
    const int day = DigitsValue(token.at, token.length);
    return day >= 1 && day <= kLastDay;
}

// "h:mm", "hh:mm" or either with ":ss".
bool IsTime(const Token& token) {
    const char* colon = static_cast<const char*>(std::memchr(token.at, ':', token.length));
    if (colon == nullptr) {
        return false;
    }
    const std::size_t hourDigits = static_cast<std::size_t>(colon - token.at);
    const std::size_t rest = token.length - hourDigits - 1; // after the colon
    const std::size_t minuteOnly = 2;
    const std::size_t withSeconds = 5; // "mm:ss"
    if (hourDigits < 1 || hourDigits > 2 || (rest != minuteOnly && rest != withSeconds)) {
        return false;
    }
    const int hour = DigitsValue(token.at, hourDigits);
    const int minute = DigitsValue(colon + 1, minuteOnly);
    if (hour < 0 || hour > kLastHour || minute < 0 || minute > kLastMinute) {
        return false;
    }
    if (rest == minuteOnly) {
        return true;
    }
    const int second = DigitsValue(colon + 1 + minuteOnly + 1, minuteOnly);
    return colon[1 + minuteOnly] == ':' && second >= 0 && second <= kLastSecond;
}

bool IsYear(const Token& token) {
    return token.length == kYearDigits && DigitsValue(token.at, kYearDigits) >= 0;
}

// "+0100", "-0500", or a zone's letters ("UTC", "CEST").
bool IsZone(const Token& token) {
    if (token.length == kOffsetDigits + 1 && (token.at[0] == '+' || token.at[0] == '-')) {
        return DigitsValue(token.at + 1, kOffsetDigits) >= 0;
    }
    if (token.length < 1 || token.length > kLongestZoneName) {
        return false;
    }
    for (std::size_t i = 0; i < token.length; ++i) {
        if (!IsLetter(token.at[i])) {
            return false;
        }
    }
    return true;
}

// True when tokens[first..] are a whole date.
bool IsDate(const std::vector<Token>& tokens, std::size_t first) {
    const std::size_t weekday = first;
    if (!IsOneOf(tokens[weekday], kWeekdays, sizeof kWeekdays / sizeof kWeekdays[0]) ||
        !IsOneOf(tokens[weekday + 1], kMonths, sizeof kMonths / sizeof kMonths[0]) ||
        !IsDay(tokens[weekday + 2]) || !IsTime(tokens[weekday + 3])) {
        return false;
    }
    std::size_t years = 0;
    for (std::size_t i = first + kFixedDateTokens; i < tokens.size(); ++i) {
        if (IsYear(tokens[i])) {
            ++years;
        } else if (!IsZone(tokens[i])) {
            return false;
        }
    }
    return years == 1;
}

} // namespace

bool FindSeparatorSender(const char* line, std::size_t length, std::size_t* senderBegin,
                         std::size_t* senderEnd) {
    if (length > kLongestSeparatorLine || length < kMboxFromPrefixLength ||
        std::memcmp(line, kMboxFromPrefix, kMboxFromPrefixLength) != 0) {
        return false;
    }
    std::size_t end = length;
    if (end > 0 && line[end - 1] == '\n') {
        --end;
        if (end > 0 && line[end - 1] == '\r') {
            --end;
        }
    }
    std::vector<Token> tokens;
    for (std::size_t i = kMboxFromPrefixLength; i < end;) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < end && !IsBlank(line[i])) {
            ++i;
        }
        tokens.push_back(Token{line + start, i - start});
    }
    // The sender is one token or more (some have blanks); the date is what
    // follows it to the line's end.
    for (std::size_t dateTokens = kFewestDateTokens; dateTokens <= kMostDateTokens; ++dateTokens) {
        if (tokens.size() > dateTokens && IsDate(tokens, tokens.size() - dateTokens)) {
            const Token& last = tokens[tokens.size() - dateTokens - 1];
            *senderBegin = static_cast<std::size_t>(tokens.front().at - line);
            *senderEnd = static_cast<std::size_t>(last.at - line) + last.length;
            return true;
        }
    }
    return false;
}

bool IsSeparatorLine(const char* line, std::size_t length) {
    std::size_t senderBegin = 0;
    std::size_t senderEnd = 0;
    return FindSeparatorSender(line, length, &senderBegin, &senderEnd);
}

bool IsSenderAddress(const char* word, std::size_t length) {
    if (length >= 2 && word[0] == kOpenAngle && word[length - 1] == kCloseAngle) {
        ++word;
        length -= 2;
    }
    const char* at = static_cast<const char*>(std::memchr(word, kAt, length));
    // The last '@' splits: a quoted local part may hold one.
    for (const char* next = at; next != nullptr;) {
        at = next;
        const std::size_t rest = length - static_cast<std::size_t>(at - word) - 1;
        next = static_cast<const char*>(std::memchr(at + 1, kAt, rest));
    }
    if (at == nullptr) {
        return length > 0 && IsWordByte(word[0]) && IsDottedRuns(word, length, kUserNameSymbols);
    }
    const std::size_t localLength = static_cast<std::size_t>(at - word);
    const bool localGood =
        IsQuotedLocal(word, localLength) || IsDottedRuns(word, localLength, kAtextSymbols);
    return localGood && IsDomain(at + 1, length - localLength - 1);
}

bool IsMmdfDelimiter(const char* line, std::size_t length) {
    if (length < kMmdfDelimiterLength ||
        std::memcmp(line, kMmdfDelimiter, kMmdfDelimiterLength) != 0) {
        return false;
    }
    const char* rest = line + kMmdfDelimiterLength;
    const std::size_t restLength = length - kMmdfDelimiterLength;
    return restLength == 0 || (restLength == 1 && rest[0] == '\n') ||
           (restLength == 2 && rest[0] == '\r' && rest[1] == '\n');
}
