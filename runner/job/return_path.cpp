// The sender from Return-Path:; see return_path.h.
#include "runner/job/return_path.h"

#include "platform/header_reader.h"
#include "platform/line_ends.h"
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

// The first Return-Path: field of the header section: only that part is
// looked at, however long the message.
ReturnPathField FindReturnPath(const std::string& message) {
    ReturnPathField field;
    HeaderReader reader;
    std::size_t at = 0;
    while (at < message.size()) {
        const char* line = message.data() + at;
        const std::size_t next = at + LineLength(line, message.size() - at);
        const std::size_t length = TextLengthWithoutCrs(line, next - at);
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
        } else if (IsFieldCalled(line, read, kReturnPathName, std::strlen(kReturnPathName))) {
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
