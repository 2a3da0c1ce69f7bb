// Text shown, never obeyed; see printable_text.h.
#include "runner/printable_text.h"

#include "platform/system.h"

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
// UTF-8 writes the C1 controls as 0xC2 followed by 0x80 to 0x9F.
constexpr unsigned char kC1Lead = 0xC2;
constexpr unsigned char kFirstC1 = 0x80;
constexpr unsigned char kLastC1 = 0x9F;
constexpr const char* kHexDigits = "0123456789ABCDEF";
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xF;

bool IsControl(unsigned char byte) {
    return byte < kFirstPrintable || byte == kDelete;
}

bool IsC1At(const std::string& text, std::size_t at) {
    if (static_cast<unsigned char>(text[at]) != kC1Lead || at + 1 >= text.size()) {
        return false;
    }
    const auto next = static_cast<unsigned char>(text[at + 1]);
    return next >= kFirstC1 && next <= kLastC1;
}

void AppendHex(std::string* out, unsigned char byte) {
    *out += "\\x";
    *out += kHexDigits[byte >> kNibbleBits];
    *out += kHexDigits[byte & kNibbleMask];
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

// `text` with its control bytes escaped, tabs kept when `keepTabs`, and
// backslashes doubled when `escapeBackslash`.
std::string Escaped(const std::string& text, bool keepTabs, bool escapeBackslash) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (IsC1At(text, at)) {
            AppendHex(&out, byte);
            AppendHex(&out, static_cast<unsigned char>(text[++at]));
        } else if (byte == '\t' && keepTabs) {
            out += '\t';
        } else if (IsControl(byte)) {
            AppendEscape(&out, byte);
        } else if (byte == '\\' && escapeBackslash) {
            out += "\\\\";
        } else {
            out += static_cast<char>(byte);
        }
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
