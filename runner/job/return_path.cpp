// The sender from Return-Path:; see return_path.h.
#include "runner/job/return_path.h"

#include "platform/ascii_text.h"
#include "platform/header_reader.h"
#include "standin/message_lines.h"

#include <cstring>

namespace {

constexpr const char* kReturnPathName = "Return-Path";

// Where the topmost Return-Path: field lies in a message, its folded
// lines included, and its unfolded value.
struct ReturnPathField {
    bool found = false;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string value;
};

// The length of the line at `at` without its line end; `next` is set
// past its end. Every CR before the end goes with it, as the server's
// lookup strips them.
std::size_t TextLengthAt(const std::string& message, std::size_t at, std::size_t* next) {
    const std::size_t feed = message.find('\n', at);
    *next = feed == std::string::npos ? message.size() : feed + 1;
    std::size_t end = feed == std::string::npos ? message.size() : feed;
    while (end > at && message[end - 1] == '\r') {
        --end;
    }
    return end - at;
}

// True when the field the reader found at `line` is Return-Path:, its
// colon straight after the name.
bool IsReturnPath(const char* line, const HeaderLine& field) {
    const std::size_t nameLength = std::strlen(kReturnPathName);
    return field.nameLength == nameLength && field.colon == nameLength &&
           EqualsIgnoringCase(line, kReturnPathName, nameLength);
}

// The first Return-Path: field of the header section: only that part is
// looked at, however long the message.
ReturnPathField FindReturnPath(const std::string& message) {
    ReturnPathField field;
    HeaderReader reader;
    std::size_t at = 0;
    while (at < message.size()) {
        std::size_t next = 0;
        const std::size_t length = TextLengthAt(message, at, &next);
        const char* line = message.data() + at;
        const HeaderLine read = reader.Push(line, length);
        if (read.kind == HeaderLineKind::kEnd) {
            break;
        }
        if (field.found) {
            if (read.kind != HeaderLineKind::kContinuation) {
                break;
            }
            field.value.append(line, length); // unfolding keeps the white space
            field.end = next;
        } else if (read.kind == HeaderLineKind::kField && IsReturnPath(line, read)) {
            field.found = true;
            field.begin = at;
            field.end = next;
            field.value.assign(line + read.ValueStart(), length - read.ValueStart());
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
