// The real POSIX platform layer: the clock counts milliseconds of the
// system's monotonic clock, wrapped to 32 bits, and deletion removes files;
// the private folder is removed by what the process holds, and the signals
// it handles leave those it was started with ignored alone.
#include "daemon/platform.h"
#include "host/host_calls.h"
#include "platform/private_folder.h"
#include "standin/standin_server.h"
#include "standin/temp_files.h"
#include "tests/support/scratch_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// In a child process of its own, which makes its own private folder.
// Renamed away and a link to another folder planted at its name, the
// folder made is emptied and the other folder is left alone.
TEST(PlatformPosixTest, CleanupNeverFollowsANamePutInPlaceOfTheFolder) {
    EXPECT_EXIT(
        {
            const std::string path = UniqueTempPath(1);
            std::string reason;
            bool ok = CreateTempCopy(path, {"mail\r\n"}, &reason);
            const std::string folder = path.substr(0, path.rfind('/'));
            const std::string away = folder + ".away";
            const std::string victim = folder + ".victim";
            ok = ok && mkdir(victim.c_str(), 0700) == 0;
            ok = ok && close(open((victim + "/keep").c_str(), O_CREAT | O_WRONLY, 0600)) == 0;
            ok = ok && rename(folder.c_str(), away.c_str()) == 0;
            ok = ok && symlink(victim.c_str(), folder.c_str()) == 0;
            RemovePrivateFolder();
            struct stat info;
            ok = ok && stat((victim + "/keep").c_str(), &info) == 0; // left alone
            ok = ok && stat((away + "/1.tmp").c_str(), &info) != 0;  // emptied
            ok = ok && lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
            unlink(folder.c_str());
            unlink((victim + "/keep").c_str());
            rmdir(victim.c_str());
            rmdir(away.c_str());
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// A signal ignored when the process started (SIGHUP under nohup) stays
// ignored; one that is not ends the process after the cleanup.
TEST(PlatformPosixTest, InterruptHandlingKeepsIgnoredSignalsIgnored) {
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            RemovePrivateFolderOnInterrupt();
            std::raise(SIGHUP);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_DFL);
            RemovePrivateFolderOnInterrupt();
            std::raise(SIGHUP);
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGHUP), "");
}

// Interrupted with a copy of a job on disk, the process leaves neither the
// copy nor its private folder behind: the host notes each copy it names,
// which the signal handler removes, as it cannot list the folder. (A
// child process with a temporary folder of its own.)
TEST(PlatformPosixTest, InterruptionRemovesTheCopyInFlight) {
    std::string made = ::testing::TempDir() + "velmora-interrupted-XXXXXX";
    ASSERT_NE(mkdtemp(made.data()), nullptr);
    const std::string tmp = made;
    EXPECT_EXIT(
        {
            setenv("TMPDIR", tmp.c_str(), 1);
            RemovePrivateFolderOnInterrupt();
            StandInServer host;
            JobHandle incoming = host.AddIncomingJob("<>", {}, "X-Autoreply-From: a@b.c\n");
            char path[kTempPathBufferSize + 1] = {};
            HostTempFileName(host.Block(), path);
            HostWriteJobToFile(host.Block(), incoming, path);
            struct stat info;
            if (std::string(path).rfind(tmp, 0) != 0 || stat(path, &info) != 0) {
                std::exit(1); // no copy in the folder asked for
            }
            std::raise(SIGTERM);
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    DIR* folder = opendir(tmp.c_str());
    ASSERT_NE(folder, nullptr);
    std::vector<std::string> left;
    while (const struct dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            left.push_back(entry->d_name);
        }
    }
    closedir(folder);
    EXPECT_TRUE(left.empty()) << left.front() << " left in " << tmp;
    std::filesystem::remove_all(tmp); // the test's own folder, whatever is left in it
}

} // namespace
