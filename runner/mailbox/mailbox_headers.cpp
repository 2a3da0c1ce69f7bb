// A message's mailbox fields; see mailbox_headers.h.
#include "runner/mailbox/mailbox_headers.h"

#include "platform/ascii_text.h"
#include "platform/header_reader.h"

namespace {

// A field's name and its length: a line is matched against both fields.
struct FieldName {
    template <std::size_t N>
    constexpr FieldName(const char (&literal)[N]) : text(literal), length(N - 1) {}
    const char* text;
    std::size_t length;
};

constexpr FieldName kContentLength("Content-Length");
constexpr FieldName kMozillaStatus("X-Mozilla-Status");
constexpr std::uint32_t kDeletedFlag = 0x0008;
constexpr std::size_t kMostLengthDigits = 18; // below 2^63: no overflow
constexpr std::size_t kMostStatusDigits = 8;  // 32 bits
constexpr unsigned kDecimal = 10;
constexpr unsigned kHex = 16;

// The value of a digit in `base`, or -1.
int DigitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') {
        value = LowerAscii(c) - 'a' + static_cast<int>(kDecimal);
    }
    return value < static_cast<int>(base) ? value : -1;
}

// When `read`, a line at `line`, is the field `name` (any letter case),
// sets `value` to where its value starts.
bool IsField(const char* line, const HeaderLine& read, const FieldName& name, const char** value) {
    if (read.kind != HeaderLineKind::kField || read.nameLength != name.length ||
        !EqualsIgnoringCase(line, name.text, name.length)) {
        return false;
    }
    *value = line + read.ValueStart();
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

void ReadMailboxHeaderLine(const char* line, std::size_t length, const HeaderLine& read,
                           MailboxHeaderScan* scan) {
    if (read.kind != HeaderLineKind::kField) {
        return;
    }
    const char* lineEnd = line + length;
    const char* value = nullptr;
    std::uint64_t number = 0;
    MailboxHeaders& found = scan->found;
    if (!scan->sawLength && IsField(line, read, kContentLength, &value)) {
        scan->sawLength = true;
        found.hasContentLength = ReadNumber(value, lineEnd, kDecimal, kMostLengthDigits, &number);
        found.contentLength = found.hasContentLength ? number : 0;
    } else if (!scan->sawStatus && IsField(line, read, kMozillaStatus, &value)) {
        scan->sawStatus = true;
        found.deleted = ReadNumber(value, lineEnd, kHex, kMostStatusDigits, &number) &&
                        (number & kDeletedFlag) != 0;
    }
}
