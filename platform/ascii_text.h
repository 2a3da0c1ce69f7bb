// Small ASCII text helpers the stand-in server and the runner share: mail
// and mailbox formats are bytes, read without the C library's locale.
#ifndef VELMORA_PLATFORM_ASCII_TEXT_H
#define VELMORA_PLATFORM_ASCII_TEXT_H

#include <cstddef>

// Hex digits by value, for writing bytes as hex: lower-case for names and
// checksums, upper-case where a format (URL escapes, "\xNN") wants it.
constexpr const char* kLowerHexDigits = "0123456789abcdef";
constexpr const char* kUpperHexDigits = "0123456789ABCDEF";

// What starts an mbox separator line, and a body line mboxrd quotes.
constexpr const char* kMboxFromPrefix = "From ";
constexpr std::size_t kMboxFromPrefixLength = 5;

// A blank: space or tab, as mail folds lines and pads values with.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// `c` in lower case when it is an ASCII capital; any other byte as it is.
inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when the `length` bytes at `a` and `b` are the same but for the
// case of ASCII letters (header names, "MAILER-DAEMON", file names).
inline bool EqualsIgnoringCase(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

#endif
