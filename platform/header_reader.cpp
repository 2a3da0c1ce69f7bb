// The header section reader; see header_reader.h.
#include "platform/header_reader.h"

#include "platform/ascii_text.h"
#include "platform/line_ends.h"

namespace {

// A field name's bytes: printable US-ASCII but the colon.
constexpr char kFirstNameByte = '!';
constexpr char kLastNameByte = '~';
constexpr char kColon = ':';
constexpr std::size_t kByteValues = 256;

// Whether each byte may be in a field's name; a table, as every header
// line's name is looked at.
struct NameBytes {
    constexpr NameBytes() : allowed() {
        for (char c = kFirstNameByte; c <= kLastNameByte; ++c) {
            allowed[static_cast<unsigned char>(c)] = c != kColon;
        }
    }
    bool allowed[kByteValues];
};

constexpr NameBytes kNameBytes;

} // namespace

HeaderLine HeaderReader::Push(const char* line, std::size_t length) {
    HeaderLine read;
    read.textLength = length - LineEndLength(line, length);
    if (state_ == State::kBody) {
        read.kind = HeaderLineKind::kBody;
        return read;
    }
    if (read.textLength == 0) {
        state_ = State::kBody;
        read.kind = HeaderLineKind::kEnd;
        return read;
    }
    if (IsBlank(line[0])) {
        read.kind =
            state_ == State::kInField ? HeaderLineKind::kContinuation : HeaderLineKind::kMalformed;
        return read;
    }
    std::size_t at = 0;
    while (at < read.textLength && kNameBytes.allowed[static_cast<unsigned char>(line[at])]) {
        ++at;
    }
    read.nameLength = at;
    while (at < read.textLength && IsBlank(line[at])) {
        ++at;
    }
    if (read.nameLength > 0 && at < read.textLength && line[at] == kColon) {
        state_ = State::kInField;
        read.kind = HeaderLineKind::kField;
        read.colon = at;
        return read;
    }
    state_ = State::kNoField;
    read.nameLength = 0;
    return read;
}

bool IsFieldCalled(const char* line, const HeaderLine& read, const char* name,
                   std::size_t nameLength) {
    return read.kind == HeaderLineKind::kField && read.nameLength == nameLength &&
           read.colon == nameLength && EqualsIgnoringCase(line, name, nameLength);
}
