// Not mail by its first bytes; see mail_content.h.
#include "runner/mail_content.h"

#include <algorithm>

namespace {

struct Signature {
    // The length from the literal itself: the bytes may hold NUL.
    template <std::size_t N>
    constexpr Signature(const char (&literal)[N], const char* why)
        : bytes(literal), length(N - 1), reason(why) {}
    const char* bytes;
    std::size_t length;
    const char* reason;
};

// Each file format's first bytes, as its own documentation gives them.
constexpr Signature kSignatures[] = {
    {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1",
     "an OLE compound file (an Outlook .msg item or an Office document)"},
    {"!BDN", "an Outlook data file (.pst or .ost)"},
    {"PK\x03\x04", "a ZIP archive"},
    {"PK\x05\x06", "a ZIP archive (empty)"},
    {"\x1F\x8B", "a gzip-compressed file"},
    {"7z\xBC\xAF\x27\x1C", "a 7-Zip archive"},
    {"Rar!\x1A\x07", "a RAR archive"},
    {"\xFD"
     "7zXZ",
     "an xz-compressed file"},
    {"\x28\xB5\x2F\xFD", "a zstd-compressed file"},
    {"%PDF-", "a PDF document"},
    // No mail server reads mail in UTF-16: Notepad's "Unicode".
    {"\xFF\xFE", "text in UTF-16"},
    {"\xFE\xFF", "text in UTF-16"},
};

constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kUtf8ByteOrderMarkLength = sizeof(kUtf8ByteOrderMark) - 1;

// Mail starts with a header's name (or mbox's "From "), which ends at the
// first of these; a NUL before it is binary data (a program, a picture),
// while one in a header's value is broken mail.
constexpr const char* kFirstNameEnds = ": \t\r\n";
// Binary data is full of NUL bytes; broken mail has a few. At one byte in
// this many, the head is binary.
constexpr std::size_t kNulShareDivisor = 16;

constexpr const char* kEmptyReason = "empty (0 bytes)";
constexpr const char* kNulReason = "binary data (NUL bytes near its start)";

bool StartsWith(const std::string& text, std::size_t at, const char* bytes, std::size_t length) {
    return text.size() - at >= length && text.compare(at, length, bytes, length) == 0;
}

} // namespace

const char* NotMailReason(const std::string& head, bool fileEmpty) {
    if (fileEmpty) {
        return kEmptyReason;
    }
    const std::size_t start = StartsWith(head, 0, kUtf8ByteOrderMark, kUtf8ByteOrderMarkLength)
                                  ? kUtf8ByteOrderMarkLength
                                  : 0;
    for (const Signature& signature : kSignatures) {
        if (StartsWith(head, start, signature.bytes, signature.length)) {
            return signature.reason;
        }
    }
    const std::size_t nameEnd = head.find_first_of(kFirstNameEnds, start);
    if (head.find('\0', start) < nameEnd) {
        return kNulReason;
    }
    const std::size_t nuls = static_cast<std::size_t>(
        std::count(head.begin() + static_cast<std::ptrdiff_t>(start), head.end(), '\0'));
    if (nuls != 0 && nuls * kNulShareDivisor >= head.size() - start) {
        return kNulReason;
    }
    return nullptr;
}
