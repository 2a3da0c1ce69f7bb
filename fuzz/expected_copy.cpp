// The independent expectation of a copy; see expected_copy.h.
#include "fuzz/expected_copy.h"

#include <cstring>
#include <strings.h>

namespace {
constexpr const char* kMessageIdFieldName = "message-id:";
} // namespace

std::vector<std::string> ExpectedCopy(const std::vector<std::string>& reads) {
    std::vector<std::string> kept;
    bool inBody = false;
    bool inOldId = false;
    bool lineStart = true; // the next read begins a line
    bool keepLine = true;  // the fate of the line being read
    for (const std::string& read : reads) {
        if (read.empty()) {
            if (lineStart || keepLine) {
                kept.push_back(read);
            }
            continue;
        }
        if (lineStart && !inBody) {
            if (read == "\r\n" || read == "\n") {
                inBody = true;
            } else if (read[0] != ' ' && read[0] != '\t') {
                inOldId = strncasecmp(read.c_str(), kMessageIdFieldName,
                                      std::strlen(kMessageIdFieldName)) == 0;
            }
            keepLine = inBody || !inOldId;
        }
        if (keepLine) {
            kept.push_back(read);
        }
        lineStart = read.back() == '\n';
    }
    return kept;
}
