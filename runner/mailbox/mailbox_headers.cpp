// A message's mailbox fields; see mailbox_headers.h.
#include "runner/mailbox/mailbox_headers.h"

#include <cstring>

namespace {

constexpr const char* kContentLength = "Content-Length";
constexpr const char* kMozillaStatus = "X-Mozilla-Status";
constexpr std::uint32_t kDeletedFlag = 0x0008;
constexpr std::size_t kMostLengthDigits = 18; // below 2^63: no overflow
constexpr std::size_t kMostStatusDigits = 8;  // 32 bits
constexpr unsigned kDecimal = 10;
constexpr unsigned kHex = 16;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of a digit in `base`, or -1.
int DigitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (Lower(c) >= 'a' && Lower(c) <= 'f') {
        value = Lower(c) - 'a' + static_cast<int>(kDecimal);
    }
    return value < static_cast<int>(base) ? value : -1;
}

// When the line [at, end) is the field `name` (any letter case, blanks
// allowed before the colon), sets `value` to where its value starts.
bool IsField(const char* at, const char* end, const char* name, const char** value) {
    const std::size_t length = std::strlen(name);
    if (static_cast<std::size_t>(end - at) < length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (Lower(at[i]) != Lower(name[i])) {
            return false;
        }
    }
    const char* c = at + length;
    while (c < end && IsBlank(*c)) {
        ++c;
    }
    if (c == end || *c != ':') {
        return false;
    }
    *value = c + 1;
    return true;
}

// A value that is one number in `base` of at most `mostDigits` digits,
// blanks around it; false otherwise.
bool ReadNumber(const char* at, const char* end, unsigned base, std::size_t mostDigits,
                std::uint64_t* number) {
    while (at < end && IsBlank(*at)) {
        ++at;
    }
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; at < end && DigitValue(*at, base) >= 0; ++at, ++digits) {
        value = value * base + static_cast<std::uint64_t>(DigitValue(*at, base));
        if (digits == mostDigits) {
            return false;
        }
    }
    while (at < end && (IsBlank(*at) || *at == '\r' || *at == '\n')) {
        ++at;
    }
    if (digits == 0 || at != end) {
        return false;
    }
    *number = value;
    return true;
}

} // namespace

MailboxHeaders ReadMailboxHeaders(const char* headers, std::size_t size) {
    MailboxHeaders found;
    bool sawLength = false;
    bool sawStatus = false;
    const char* end = headers + size;
    for (const char* line = headers; line < end;) {
        const char* lf = static_cast<const char*>(std::memchr(line, '\n', end - line));
        const char* lineEnd = lf == nullptr ? end : lf + 1;
        const char* value = nullptr;
        std::uint64_t number = 0;
        if (!sawLength && IsField(line, lineEnd, kContentLength, &value)) {
            sawLength = true;
            found.hasContentLength =
                ReadNumber(value, lineEnd, kDecimal, kMostLengthDigits, &number);
            found.contentLength = found.hasContentLength ? number : 0;
        } else if (!sawStatus && IsField(line, lineEnd, kMozillaStatus, &value)) {
            sawStatus = true;
            found.deleted = ReadNumber(value, lineEnd, kHex, kMostStatusDigits, &number) &&
                            (number & kDeletedFlag) != 0;
        }
        line = lineEnd;
    }
    return found;
}
