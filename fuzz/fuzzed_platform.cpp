// Platform layer for the fuzzed host: the clock reads its count from the
// input, and deleting a file removes it from the host's pretend disk.
#include "daemon/platform.h"
#include "fuzz/fuzzed_answers.h"
#include "fuzz/fuzzed_host.h"

#include <cstdint>
#include <vector>

namespace {

// A load sees less than one turn of the clock in all: the module promises
// distinct numbers only within that. A little room is kept for the numbers
// that run ahead of the clock in a burst.
constexpr std::uint64_t kClockCycle = std::uint64_t{1} << 32;
constexpr std::uint64_t kHeadroom = std::uint64_t{1} << 16;
constexpr std::uint64_t kMostElapsedPerLoad = kClockCycle - kHeadroom;

// Milliseconds that passed between the first and the last reading so far.
std::uint64_t Elapsed(const std::vector<std::uint32_t>& readings) {
    std::uint64_t total = 0;
    for (std::size_t i = 1; i < readings.size(); ++i) {
        total += static_cast<std::uint32_t>(readings[i] - readings[i - 1]); // unsigned: wraps
    }
    return total;
}

} // namespace

// The clock starts at an edge value or anywhere, and then, like the real
// one, only moves on: not at all, a little, or a long way (a quiet month),
// wrapping past zero on the way.
std::uint32_t PlatformMilliseconds() {
    FuzzedHost& host = *FuzzedHost::Active();
    FuzzedDataProvider& input = host.Input();
    std::vector<std::uint32_t>& earlier = host.clockReadings;
    std::uint32_t now = 0;
    if (earlier.empty()) {
        now = FuzzedEdgeBits(input);
    } else {
        const std::uint64_t budget = kMostElapsedPerLoad - Elapsed(earlier);
        std::uint64_t step = input.ConsumeBool() ? input.ConsumeIntegral<std::uint8_t>()
                                                 : input.ConsumeIntegral<std::uint32_t>();
        if (step > budget) {
            step = budget;
        }
        now = earlier.back() + static_cast<std::uint32_t>(step); // unsigned: wraps like the clock
    }
    earlier.push_back(now);
    host.Round().clockReadings.push_back(now);
    return now;
}

void PlatformDeleteFile(const char* path) {
    FuzzedHost::Active()->files.erase(path);
}
