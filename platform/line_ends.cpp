// Line ends; see line_ends.h.
#include "platform/line_ends.h"

#include <cstring>

std::size_t LineLength(const char* text, std::size_t size) {
    const void* feed = size == 0 ? nullptr : std::memchr(text, kLineFeed, size);
    return feed == nullptr ? size
                           : static_cast<std::size_t>(static_cast<const char*>(feed) - text) + 1;
}

std::size_t LineEndLength(const char* line, std::size_t length) {
    if (length == 0) {
        return 0;
    }
    if (line[length - 1] == kCarriageReturn) {
        return 1;
    }
    if (line[length - 1] != kLineFeed) {
        return 0;
    }
    return length >= 2 && line[length - 2] == kCarriageReturn ? 2 : 1;
}

std::size_t TextLengthWithoutCrs(const char* line, std::size_t length) {
    while (length > 0 && (line[length - 1] == kLineFeed || line[length - 1] == kCarriageReturn)) {
        --length;
    }
    return length;
}

bool IsBlankLine(const char* line, std::size_t length) {
    // Looked at for every line of a mailbox: the length first.
    constexpr std::size_t kLongestLineEnd = 2;
    return length > 0 && length <= kLongestLineEnd && line[length - 1] == kLineFeed &&
           LineEndLength(line, length) == length;
}

std::size_t MendLoneCarriageReturns(char* text, std::size_t size) {
    std::size_t mended = 0;
    for (std::size_t at = 0; at < size;) {
        const char* cr =
            static_cast<const char*>(std::memchr(text + at, kCarriageReturn, size - at));
        if (cr == nullptr) {
            break;
        }
        const std::size_t index = static_cast<std::size_t>(cr - text);
        if (index + 1 == size || text[index + 1] != kLineFeed) {
            text[index] = kLineFeed;
            ++mended;
        }
        at = index + 1;
    }
    return mended;
}
