// The real POSIX platform layer: the clock counts milliseconds of the
// system's monotonic clock, wrapped to 32 bits, and deletion removes files.
#include "daemon/platform.h"
#include "standin/temp_files.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

std::uint64_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

TEST(PlatformPosixTest, ClockIsTheMonotonicClockInMilliseconds) {
    constexpr std::uint32_t kToleranceMs = 50;
    const auto before = static_cast<std::uint32_t>(MonotonicMilliseconds());
    const std::uint32_t reading = PlatformMilliseconds();
    const auto after = static_cast<std::uint32_t>(MonotonicMilliseconds());
    // Unsigned differences, so that a wrap between the readings is no fault.
    EXPECT_LE(static_cast<std::uint32_t>(reading - before), kToleranceMs + (after - before));
    EXPECT_LE(static_cast<std::uint32_t>(after - reading), kToleranceMs + (after - before));
}

TEST(PlatformPosixTest, ClockAdvancesWithRealTime) {
    const std::uint32_t start = PlatformMilliseconds();
    const timespec pause{0, 30 * 1000000}; // 30 ms
    nanosleep(&pause, nullptr);
    const std::uint32_t passed = PlatformMilliseconds() - start;
    EXPECT_GE(passed, 30u);
    EXPECT_LT(passed, 2000u);
}

TEST(PlatformPosixTest, DeleteFileRemovesTheFile) {
    const std::string path = UniqueTempPath(999999);
    std::string reason;
    ASSERT_TRUE(CreateTempCopy(path, {"x\r\n"}, &reason)) << reason;
    PlatformDeleteFile(path.c_str());
    EXPECT_FALSE(FileExists(path));
    PlatformDeleteFile(path.c_str()); // already gone: nothing to report
}

} // namespace
