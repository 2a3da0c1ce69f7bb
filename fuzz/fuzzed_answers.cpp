// Text shapes for the fuzzed host; see fuzzed_answers.h.
#include "fuzz/fuzzed_answers.h"

#include <cctype>
#include <cstdint>
#include <iterator>

namespace {

constexpr const char* kCrlf = "\r\n";
constexpr const char* kMessageIdFieldName = "message-id:";
constexpr std::size_t kLongLineTailRoom = 2; // the CR LF after a padded line
constexpr char kPadding = 'x';

constexpr std::uint32_t kEdgeValues[] = {
    0u, 1u, 0xFFFFFFFFu, 2u, 0x100u, 0xFFFFFF00u, 0x7FFFFFFFu, 0x80000000u,
};

// Which kind of line the next read hands over.
enum LineKind : std::uint8_t {
    kEndOfMessage,
    kRawText,
    kMessageIdField,
    kContinuation,
    kEmptyLine,
    kBufferFilled,
    kOtherField,
    kLongestLine,
    kNulInside,
    kLastLineKind = kNulInside,
};

// "message-id:" with each letter's case chosen by one bit of the input.
std::string MessageIdFieldName(FuzzedDataProvider& input) {
    const auto caseBits = input.ConsumeIntegral<std::uint16_t>();
    std::string name = kMessageIdFieldName;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if ((caseBits >> i) & 1u) {
            name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
        }
    }
    return name;
}

std::string FieldLine(FuzzedDataProvider& input, const std::string& start) {
    return start + FuzzedText(input, kLongestTerminatedLine) + kCrlf;
}

} // namespace

std::string FuzzedText(FuzzedDataProvider& input, std::size_t maxLength) {
    std::string text = input.ConsumeRandomLengthString(maxLength);
    return text.substr(0, text.find('\0'));
}

std::uint32_t FuzzedEdgeBits(FuzzedDataProvider& input) {
    const auto choice = input.ConsumeIntegralInRange<std::size_t>(0, std::size(kEdgeValues));
    return choice < std::size(kEdgeValues) ? kEdgeValues[choice]
                                           : input.ConsumeIntegral<std::uint32_t>();
}

LineShape FuzzedMessageLine(FuzzedDataProvider& input, std::string* line) {
    switch (input.ConsumeIntegralInRange<std::uint8_t>(0, kLastLineKind)) {
    case kEndOfMessage:
        return LineShape::kEnd;
    case kBufferFilled:
        return LineShape::kUnterminated;
    case kRawText:
        *line = FuzzedText(input, kLongestTerminatedLine);
        break;
    case kMessageIdField:
        *line = FieldLine(input, MessageIdFieldName(input));
        break;
    case kContinuation:
        *line = FieldLine(input, input.ConsumeBool() ? " " : "\t");
        break;
    case kEmptyLine:
        *line = input.ConsumeBool() ? kCrlf : "\n";
        break;
    case kOtherField:
        *line = FieldLine(input, "X-Other: ");
        break;
    case kNulInside: // broken mailers send NUL bytes; fgets hands them over
        *line = FuzzedText(input, kLongestTerminatedLine);
        *line += '\0';
        *line += FuzzedText(input, kLongestTerminatedLine) + kCrlf;
        break;
    case kLongestLine:
        *line = FuzzedText(input, kLongestTerminatedLine);
        line->resize(kLongestTerminatedLine - kLongLineTailRoom, kPadding);
        *line += kCrlf;
        break;
    }
    if (line->size() > kLongestTerminatedLine) {
        line->resize(kLongestTerminatedLine);
    }
    return LineShape::kLine;
}
