// Text shown, never obeyed; see printable_text.h.
#include "runner/output/printable_text.h"

#include "platform/ascii_text.h"
#include "platform/system.h"
#include "platform/utf8_character.h"

#include <cstdint>

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstNonAscii = 0x80;
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xF;
constexpr unsigned kCodePointDigits = 4; // "\u202E": every escaped one is below U+10000

struct CodePointRange {
    std::uint32_t first;
    std::uint32_t last;
};

// Characters a terminal obeys or hides rather than shows: the C1 controls
// (U+009B is CSI, as the byte 0x9B is on 8-bit terminals), the marks that
// reorder text right to left and back (which can make a line read other
// than it is), and the ones of no width, line and paragraph separators.
constexpr CodePointRange kHiddenCharacters[] = {
    {0x0080, 0x009F}, // C1 controls
    {0x061C, 0x061C}, // Arabic letter mark
    {0x200B, 0x200F}, // zero-width space, non-joiner, joiner; left-to-right and right-to-left marks
    {0x2028, 0x2029}, // line and paragraph separators
    {0x202A, 0x202E}, // bidirectional embeddings and overrides
    {0x2060, 0x2060}, // word joiner
    {0x2066, 0x2069}, // bidirectional isolates
    {0xFEFF, 0xFEFF}, // zero-width no-break space (a byte-order mark)
};

bool IsControl(unsigned char byte) {
    return byte < kFirstPrintable || byte == kDelete;
}

// Whether a terminal would obey the character or show it as nothing.
bool IsHidden(std::uint32_t codePoint) {
    for (const CodePointRange& range : kHiddenCharacters) {
        if (codePoint >= range.first && codePoint <= range.last) {
            return true;
        }
    }
    return false;
}

void AppendHex(std::string* out, unsigned char byte) {
    *out += "\\x";
    *out += kUpperHexDigits[byte >> kNibbleBits];
    *out += kUpperHexDigits[byte & kNibbleMask];
}

// Appends "\u" and the code point's four hex digits.
void AppendCodePoint(std::string* out, std::uint32_t codePoint) {
    *out += "\\u";
    for (unsigned digit = kCodePointDigits; digit-- > 0;) {
        *out += kUpperHexDigits[(codePoint >> (digit * kNibbleBits)) & kNibbleMask];
    }
}

void AppendEscape(std::string* out, unsigned char byte) {
    switch (byte) {
    case '\n':
        *out += "\\n";
        break;
    case '\r':
        *out += "\\r";
        break;
    case '\t':
        *out += "\\t";
        break;
    default:
        AppendHex(out, byte);
    }
}

// `text` with its control bytes, the bytes that are not UTF-8 and the
// hidden characters escaped, tabs kept when `keepTabs`, and backslashes
// doubled when `escapeBackslash`.
std::string Escaped(const std::string& text, bool keepTabs, bool escapeBackslash) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= kFirstNonAscii) {
            std::uint32_t codePoint = 0;
            const std::size_t length = Utf8CharacterAt(text, at, &codePoint);
            if (length == 0) {
                AppendHex(&out, byte); // not UTF-8: the byte alone
                ++at;
            } else {
                if (IsHidden(codePoint)) {
                    AppendCodePoint(&out, codePoint);
                } else {
                    out.append(text, at, length);
                }
                at += length;
            }
            continue;
        }
        if (byte == '\t' && keepTabs) {
            out += '\t';
        } else if (IsControl(byte)) {
            AppendEscape(&out, byte);
        } else if (byte == '\\' && escapeBackslash) {
            out += "\\\\";
        } else {
            out += static_cast<char>(byte);
        }
        ++at;
    }
    return out;
}

} // namespace

std::string PrintableName(const std::string& name) {
    return Escaped(name, false, PathSeparator() != '\\');
}

std::string PrintableLine(const std::string& line) {
    std::size_t bodyEnd = line.size();
    if (bodyEnd > 0 && line[bodyEnd - 1] == '\n') {
        --bodyEnd;
        if (bodyEnd > 0 && line[bodyEnd - 1] == '\r') {
            --bodyEnd;
        }
    }
    return Escaped(line.substr(0, bodyEnd), true, false) + line.substr(bodyEnd);
}
