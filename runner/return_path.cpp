// The sender from Return-Path:; see return_path.h.
#include "runner/return_path.h"

#include "standin/message_lines.h"

namespace {

constexpr const char* kReturnPathField = "Return-Path";

// The header section with its closing empty line, or all of the text when
// it has no body: only this part is split into lines, however long the
// message.
std::string HeaderSection(const std::string& message) {
    std::size_t start = 0;
    while (start < message.size()) {
        const std::size_t end = message.find('\n', start);
        if (end == std::string::npos) {
            break;
        }
        const std::size_t length = end - start;
        if (length == 0 || (length == 1 && message[start] == '\r')) {
            return message.substr(0, end + 1);
        }
        start = end + 1;
    }
    return message;
}

} // namespace

std::string SenderFromReturnPath(const std::string& message, const std::string& fallback) {
    bool found = false;
    const std::string value = TrimBlanks(
        FindHeaderValue(SplitIntoCrlfLines(HeaderSection(message)), kReturnPathField, &found));
    return found && !value.empty() ? value : fallback;
}
