// Header filter for the copied message; see header_filter.h.
#include "daemon/header_filter.h"

#include <cstddef>

namespace {

constexpr const char* kMessageIdFieldName = "message-id:"; // lower case, with the colon

// Lowers an ASCII letter; leaves every other byte as it is, so that 8-bit
// text never matches a letter by accident.
char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True for the line that ends the header section: nothing but its line end.
bool IsEmptyLine(const char* line) {
    return (line[0] == '\n' && line[1] == '\0') ||
           (line[0] == '\r' && line[1] == '\n' && line[2] == '\0');
}

// True for a continuation line of a folded field.
bool IsContinuationLine(const char* line) {
    return line[0] == ' ' || line[0] == '\t';
}

// True when the line starts a Message-ID field, in any letter case.
bool StartsMessageIdField(const char* line) {
    for (std::size_t i = 0; kMessageIdFieldName[i] != '\0'; ++i) {
        if (AsciiLower(line[i]) != kMessageIdFieldName[i]) {
            return false; // also stops at the line's terminator
        }
    }
    return true;
}

} // namespace

bool KeepLine(HeaderFilterState* state, const char* line) {
    if (*state == HeaderFilterState::kBody) {
        return true;
    }
    if (IsEmptyLine(line)) {
        *state = HeaderFilterState::kBody;
        return true;
    }
    if (IsContinuationLine(line)) {
        return *state != HeaderFilterState::kOldMessageId;
    }
    if (StartsMessageIdField(line)) {
        *state = HeaderFilterState::kOldMessageId;
        return false;
    }
    *state = HeaderFilterState::kHeader;
    return true;
}
