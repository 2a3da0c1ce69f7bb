// Not mail by its first bytes; see mail_content.h.
#include "runner/inputs/mail_content.h"

#include "platform/ascii_text.h"
#include "platform/header_reader.h"
#include "platform/line_ends.h"
#include "runner/mailbox/mbox_separator.h"

#include <algorithm>
#include <cstring>

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
// bzip2's are matched apart (its block size is a digit among them).
constexpr Signature kSignatures[] = {
    {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1",
     "an OLE compound file (an Outlook .msg item or an Office document)"},
    {"!BDN", "an Outlook data file (.pst or .ost)"},
    {"PK\x03\x04", "a ZIP archive"},
    {"PK\x05\x06", "a ZIP archive (empty)"},
    {"\x1F\x8B", "compressed (gzip): unpack it first"},
    {"7z\xBC\xAF\x27\x1C", "a 7-Zip archive"},
    {"Rar!\x1A\x07", "a RAR archive"},
    {"\xFD"
     "7zXZ\x00",
     "compressed (xz): unpack it first"},
    {"\x28\xB5\x2F\xFD", "compressed (zstd): unpack it first"},
    {"LZIP\x01", "compressed (lzip): unpack it first"},
    {"LZIP\x00", "compressed (lzip): unpack it first"},
    {"\x1F\x9D", "compressed (compress, .Z): unpack it first"},
    {"\x04\x22\x4D\x18", "compressed (lz4): unpack it first"},
    {"%PDF-", "a PDF document"},
    // No mail server reads mail in UTF-16: Notepad's "Unicode".
    {"\xFF\xFE", "text in UTF-16"},
    {"\xFE\xFF", "text in UTF-16"},
};

// bzip2: "BZh", the block size as a digit from 1 to 9, then the magic of
// a block or of the stream's end (an empty stream).
constexpr char kBzip2Start[] = "BZh";
constexpr std::size_t kBzip2StartLength = sizeof(kBzip2Start) - 1;
constexpr char kBzip2Block[] = "1AY&SY";
constexpr char kBzip2End[] = "\x17\x72\x45\x38\x50\x90";
constexpr std::size_t kBzip2MagicLength = sizeof(kBzip2Block) - 1;
constexpr char kBzip2SmallestBlock = '1';
constexpr char kBzip2LargestBlock = '9';
constexpr const char* kBzip2Reason = "compressed (bzip2): unpack it first";

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
constexpr const char* kOnlyBlankReason = "no text but blank lines";
constexpr const char* kMarkupReason = "HTML or XML (its first line starts with <)";
constexpr const char* kBadSeparatorReason =
    "its first line starts with \"From \" but is no mailbox separator (no date as mail "
    "programs write it)";
constexpr const char* kWindowsPathReason =
    "its first line starts with a Windows path (a list of files, a report), not a header field";
constexpr const char* kNotHeaderReason =
    "text whose first line is neither a header field (Name: value) nor a mailbox separator";

constexpr char kMarkupStart = '<';
// "C:\", "D:/": a drive letter and its colon read as a one-letter field.
constexpr std::size_t kDriveLength = 1;
constexpr const char* kPathSlashes = "\\/";

bool StartsWith(const std::string& text, std::size_t at, const char* bytes, std::size_t length) {
    return text.size() - at >= length && text.compare(at, length, bytes, length) == 0;
}

bool IsBzip2(const std::string& head, std::size_t at) {
    if (!StartsWith(head, at, kBzip2Start, kBzip2StartLength) ||
        head.size() - at < kBzip2StartLength + 1 + kBzip2MagicLength) {
        return false;
    }
    const char blockSize = head[at + kBzip2StartLength];
    const std::size_t magic = at + kBzip2StartLength + 1;
    return blockSize >= kBzip2SmallestBlock && blockSize <= kBzip2LargestBlock &&
           (StartsWith(head, magic, kBzip2Block, kBzip2MagicLength) ||
            StartsWith(head, magic, kBzip2End, kBzip2MagicLength));
}

// Past the blank lines from `at` (LF, or CR LF: lone CRs are LFs by now).
std::size_t SkipBlankLines(const std::string& head, std::size_t at) {
    for (;;) {
        const std::size_t length = LineLength(head.data() + at, head.size() - at);
        if (!IsBlankLine(head.data() + at, length)) {
            return at;
        }
        at += length;
    }
}

// Why the line at `at` cannot start mail, or null when it is a header
// field or a mailbox separator.
const char* FirstLineReason(const std::string& head, std::size_t at) {
    const std::size_t lineEnd = std::min(head.find('\n', at), head.size());
    const std::size_t lineLength = lineEnd - at + (lineEnd < head.size() ? 1 : 0);
    if (IsSeparatorLine(head.data() + at, lineLength) ||
        IsMmdfDelimiter(head.data() + at, lineLength)) {
        return nullptr;
    }
    // A header field as a header section's first line is (old mail's
    // blanks before the colon too).
    HeaderReader reader;
    const HeaderLine read = reader.Push(head.data() + at, lineLength);
    if (read.kind == HeaderLineKind::kField) {
        const std::size_t afterColon = at + read.ValueStart();
        const bool drive = read.nameLength == kDriveLength && read.colon == read.nameLength &&
                           afterColon < lineEnd &&
                           std::strchr(kPathSlashes, head[afterColon]) != nullptr;
        return drive ? kWindowsPathReason : nullptr;
    }
    if (head[at] == kMarkupStart) {
        return kMarkupReason;
    }
    return StartsWith(head, at, kMboxFromPrefix, kMboxFromPrefixLength) ? kBadSeparatorReason
                                                                        : kNotHeaderReason;
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
    if (IsBzip2(head, start)) {
        return kBzip2Reason;
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
    const std::size_t first = SkipBlankLines(head, start);
    if (first == head.size()) {
        return kOnlyBlankReason;
    }
    return FirstLineReason(head, first);
}
