// Message lines; see message_lines.h.
#include "standin/message_lines.h"

#include "platform/header_reader.h"
#include "platform/line_ends.h"

namespace {

constexpr const char* kBlanks = " \t";

std::string TrimLeft(const std::string& text) {
    const std::size_t start = text.find_first_not_of(kBlanks);
    return start == std::string::npos ? std::string() : text.substr(start);
}

} // namespace

std::vector<std::string> SplitKeepingLineEnds(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t length = LineLength(text.data() + start, text.size() - start);
        lines.push_back(text.substr(start, length));
        start += length;
    }
    return lines;
}

std::vector<std::string> SplitIntoCrlfLines(const std::string& text) {
    std::vector<std::string> lines = SplitKeepingLineEnds(text);
    for (std::string& line : lines) {
        line.resize(line.size() - LineEndLength(line.data(), line.size()));
        line += kCrLf;
    }
    return lines;
}

std::string TrimBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

std::string FindHeaderValue(const std::vector<std::string>& lines, const std::string& name,
                            bool* found) {
    *found = false;
    std::string value;
    HeaderReader reader;
    for (const std::string& raw : lines) {
        const std::string line = raw.substr(0, TextLengthWithoutCrs(raw.data(), raw.size()));
        const HeaderLine read = reader.Push(line.data(), line.size());
        if (read.kind == HeaderLineKind::kEnd) {
            break;
        }
        if (*found) {
            if (read.kind != HeaderLineKind::kContinuation) {
                break;
            }
            value += line; // unfolding keeps the white space
            continue;
        }
        if (IsFieldCalled(line.data(), read, name.data(), name.size())) {
            *found = true;
            value = TrimLeft(line.substr(read.ValueStart()));
        }
    }
    return value;
}
