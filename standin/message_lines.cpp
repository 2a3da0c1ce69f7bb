// Message lines; see message_lines.h.
#include "standin/message_lines.h"

#include <cctype>

namespace {

constexpr const char* kCrlf = "\r\n";
constexpr const char* kBlanks = " \t";

std::string WithoutLineEnd(const std::string& line) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

bool NameMatches(const std::string& line, const std::string& name) {
    if (line.size() <= name.size() || line[name.size()] != ':') {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) !=
            std::tolower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

bool IsContinuation(const std::string& line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

std::string TrimLeft(const std::string& text) {
    const std::size_t start = text.find_first_not_of(kBlanks);
    return start == std::string::npos ? std::string() : text.substr(start);
}

} // namespace

std::vector<std::string> SplitKeepingLineEnds(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end + 1 - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> SplitIntoCrlfLines(const std::string& text) {
    std::vector<std::string> lines = SplitKeepingLineEnds(text);
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        line += kCrlf;
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
    for (const std::string& raw : lines) {
        const std::string line = WithoutLineEnd(raw);
        if (line.empty()) {
            break; // end of the header section
        }
        if (*found) {
            if (!IsContinuation(line)) {
                break;
            }
            value += line; // unfolding keeps the white space
            continue;
        }
        if (NameMatches(line, name)) {
            *found = true;
            value = TrimLeft(line.substr(name.size() + 1));
        }
    }
    return value;
}
