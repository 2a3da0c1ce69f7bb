// Operating system calls on POSIX systems.
#include "daemon/platform.h"

#include <ctime>
#include <unistd.h>

namespace {
constexpr std::uint64_t kMillisecondsPerSecond = 1000;
constexpr std::uint64_t kNanosecondsPerMillisecond = 1000000;
} // namespace

// A monotonic count, truncated to 32 bits so that it wraps like the
// Windows millisecond counter does.
std::uint32_t PlatformMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * kMillisecondsPerSecond +
                             static_cast<std::uint64_t>(now.tv_nsec) / kNanosecondsPerMillisecond;
    return static_cast<std::uint32_t>(ms);
}

void PlatformDeleteFile(const char* path) {
    unlink(path);
}
