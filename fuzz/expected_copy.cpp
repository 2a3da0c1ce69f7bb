// The independent expectation of a copy; see expected_copy.h.
#include "fuzz/expected_copy.h"

#include <cstring>
#include <strings.h>

namespace {
constexpr const char* kMessageIdFieldName = "message-id:";
} // namespace

std::vector<std::string> ExpectedCopy(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    bool inBody = false;
    bool inOldId = false;
    for (const std::string& line : lines) {
        if (inBody) {
            kept.push_back(line);
            continue;
        }
        if (line == "\r\n" || line == "\n") {
            inBody = true;
            kept.push_back(line);
            continue;
        }
        const bool continuation = !line.empty() && (line[0] == ' ' || line[0] == '\t');
        if (!continuation) {
            inOldId = strncasecmp(line.c_str(), kMessageIdFieldName,
                                  std::strlen(kMessageIdFieldName)) == 0;
        }
        if (!inOldId) {
            kept.push_back(line);
        }
    }
    return kept;
}
