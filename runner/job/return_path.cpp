// The sender from Return-Path:; see return_path.h.
#include "runner/job/return_path.h"

#include "standin/message_lines.h"

#include <cctype>
#include <cstring>

namespace {

constexpr const char* kReturnPathName = "Return-Path:";
constexpr std::size_t kReturnPathNameLength = 12;

// Where the topmost Return-Path: field lies in a message, its folded
// lines included, and its unfolded value.
struct ReturnPathField {
    bool found = false;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string value;
};

// The line at `at`, without its LF or CR LF; `next` is set past its end.
std::string LineAt(const std::string& message, std::size_t at, std::size_t* next) {
    const std::size_t feed = message.find('\n', at);
    *next = feed == std::string::npos ? message.size() : feed + 1;
    std::size_t end = feed == std::string::npos ? message.size() : feed;
    while (end > at && message[end - 1] == '\r') {
        --end;
    }
    return message.substr(at, end - at);
}

bool IsReturnPathLine(const std::string& line) {
    if (line.size() < kReturnPathNameLength) {
        return false;
    }
    for (std::size_t i = 0; i < kReturnPathNameLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) !=
            std::tolower(static_cast<unsigned char>(kReturnPathName[i]))) {
            return false;
        }
    }
    return true;
}

bool IsFolded(const std::string& line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// The first Return-Path: field of the header section: only that part is
// looked at, however long the message.
ReturnPathField FindReturnPath(const std::string& message) {
    ReturnPathField field;
    std::size_t at = 0;
    while (at < message.size()) {
        std::size_t next = 0;
        const std::string line = LineAt(message, at, &next);
        if (line.empty()) {
            break; // the header section ends
        }
        if (field.found) {
            if (!IsFolded(line)) {
                break;
            }
            field.value += line; // unfolding keeps the white space
            field.end = next;
        } else if (IsReturnPathLine(line)) {
            field.found = true;
            field.begin = at;
            field.end = next;
            field.value = line.substr(kReturnPathNameLength);
        }
        at = next;
    }
    field.value = TrimBlanks(field.value);
    return field;
}

} // namespace

std::string TakeReturnPath(std::string* message, const std::string& fallback) {
    const ReturnPathField field = FindReturnPath(*message);
    if (!field.found || field.value.empty()) {
        return fallback;
    }
    message->erase(field.begin, field.end - field.begin);
    return field.value;
}
