// libFuzzer target: arbitrary message text through DAEMON inside the
// reference host. Besides crashes and sanitizer reports, it checks what
// the module promises about every message:
//   - nothing is left open, unreleased or undeleted, and no host contract
//     is broken;
//   - a replacement starts with its own Message-ID, keeps the body exactly,
//     and keeps every header line that is not part of a Message-ID field.
#include "daemon/entry_points.h"
#include "testhost/message_lines.h"
#include "testhost/reference_host.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

constexpr const char* kSender = "relay@example.org";

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The lines a correct copy keeps, worked out independently of the module's
// filter: a header line is dropped when it opens a Message-ID field (any
// letter case) or continues one; the body is kept whole.
std::vector<std::string> ExpectedCopy(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    bool inBody = false;
    bool inOldId = false;
    for (const std::string& line : lines) {
        if (inBody) {
            kept.push_back(line);
            continue;
        }
        if (line == "\r\n") {
            inBody = true;
            kept.push_back(line);
            continue;
        }
        const bool continuation = line[0] == ' ' || line[0] == '\t';
        if (!continuation) {
            inOldId = strncasecmp(line.c_str(), "message-id:", 11) == 0;
        }
        if (!inOldId) {
            kept.push_back(line);
        }
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Host strings are NUL-terminated: a message cannot carry a zero byte.
    std::string message(reinterpret_cast<const char*>(data), size);
    message.erase(std::remove(message.begin(), message.end(), '\0'), message.end());

    ReferenceHost host;
    JobHandle job = host.AddIncomingJob("<>", {"a@example.net"}, message);
    const std::int32_t result = DAEMON(job, host.Block(), nullptr, kSender);

    Require(host.violations.empty());
    Require(host.Leaks().empty());
    Require(result == 0 || result == 1);
    if (result == 1) {
        const std::vector<const TestJob*> created = host.CreatedJobs();
        Require(created.size() == 1 && !created[0]->lines.empty());
        Require(created[0]->lines[0].rfind("Message-ID: <ar", 0) == 0);
        const std::vector<std::string> copied(created[0]->lines.begin() + 1,
                                              created[0]->lines.end());
        Require(copied == ExpectedCopy(SplitIntoCrlfLines(message)));
    }
    return 0;
}
