// Mailbox separator lines; see mbox_separator.h.
#include "runner/mbox_separator.h"

#include <cstring>
#include <vector>

namespace {

constexpr const char* kSeparatorStart = "From ";
constexpr std::size_t kSeparatorStartLength = 5;
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

struct Token {
    const char* at;
    std::size_t length;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
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

bool IsSeparatorLine(const char* line, std::size_t length) {
    if (length > kLongestSeparatorLine || length < kSeparatorStartLength ||
        std::memcmp(line, kSeparatorStart, kSeparatorStartLength) != 0) {
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
    for (std::size_t i = kSeparatorStartLength; i < end;) {
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
            return true;
        }
    }
    return false;
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

bool IsBlankLine(const char* line, std::size_t length) {
    return (length == 1 && line[0] == '\n') || (length == 2 && line[0] == '\r' && line[1] == '\n');
}
