// Platform layer for the fuzzed host: the clock reads its count from the
// input, and deleting a file removes it from the host's pretend disk.
#include "daemon/platform.h"
#include "fuzz/fuzzed_answers.h"
#include "fuzz/fuzzed_host.h"

#include <vector>

// The clock starts at an edge value or anywhere and then moves a little
// either way, or jumps; that walks the Message-ID numbers across standing
// still, going back and wrapping past zero.
std::uint32_t PlatformMilliseconds() {
    FuzzedHost& host = *FuzzedHost::Active();
    FuzzedDataProvider& input = host.Input();
    std::vector<std::uint32_t>& earlier = host.clockReadings;
    std::uint32_t now = 0;
    if (earlier.empty() || input.ConsumeBool()) {
        now = FuzzedEdgeBits(input);
    } else {
        const auto step = static_cast<std::uint32_t>(input.ConsumeIntegral<std::int8_t>());
        now = earlier.back() + step; // unsigned: wraps like the real clock
    }
    earlier.push_back(now);
    host.Round().clockReadings.push_back(now);
    return now;
}

void PlatformDeleteFile(const char* path) {
    FuzzedHost::Active()->files.erase(path);
}
