// libFuzzer target: arbitrary message text through DAEMON inside the
// stand-in server. Besides crashes and sanitizer reports, it checks what
// the module promises about every message:
//   - nothing is left open, unreleased or undeleted, and no host contract
//     is broken;
//   - a replacement starts with its own Message-ID, keeps the body exactly,
//     and keeps every header line that is not part of a Message-ID field.
#include "daemon/entry_points.h"
#include "fuzz/expected_copy.h"
#include "fuzz/fuzz_require.h"
#include "standin/message_lines.h"
#include "standin/standin_server.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kSender = "relay@example.org";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Host strings are NUL-terminated: a message cannot carry a zero byte.
    std::string message(reinterpret_cast<const char*>(data), size);
    message.erase(std::remove(message.begin(), message.end(), '\0'), message.end());

    StandInServer host;
    JobHandle job = host.AddIncomingJob("<>", {"a@example.net"}, message);
    const std::int32_t result = DAEMON(job, host.Block(), nullptr, kSender);

    Require(host.violations.empty());
    Require(host.Leaks().empty());
    Require(result == 0 || result == 1);
    if (result == 1) {
        const std::vector<const HostJob*> created = host.CreatedJobs();
        const std::vector<std::string> lines =
            created.size() == 1 ? created[0]->Lines() : std::vector<std::string>();
        Require(created.size() == 1 && !lines.empty());
        Require(lines[0].rfind("Message-ID: <ar", 0) == 0);
        // The host hands long lines over in pieces, so the copy is compared
        // as text: whole lines, however they were cut.
        std::string copied;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            copied += lines[i];
        }
        std::string expected;
        for (const std::string& line : ExpectedCopy(SplitIntoCrlfLines(message))) {
            expected += line;
        }
        Require(copied == expected);
    }
    return 0;
}
