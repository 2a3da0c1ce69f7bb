// What a run of velmora-run costs per message, against the floor of the
// work each message needs from the system: the stand-in server keeps a
// temporary copy of every message, as the real server does, so the floor
// is one copy written, read back and removed. Both over the same 10,000
// small automatic replies, as files in one folder.
//
//   velmora_runner_bench [--quick] [Google Benchmark options]
//
// The runner is run as a process, the way admins run it (module loading
// and start-up included, shared by the 10,000 messages): the one built
// beside this benchmark, or another build's named by VELMORA_RUNNER and
// VELMORA_MODULE, to compare two builds on one machine. After the usual
// output a line gives the time per message of each and their ratio.
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kMessages = 10000;
constexpr const char* kQuickOption = "--quick";
constexpr const char* kQuickMinTime = "--benchmark_min_time=0.05";
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr double kNanosecondsPerMicrosecond = 1000.0;
constexpr double kNanosecondsPerSecond = 1e9;
constexpr const char* kRunnerVariable = "VELMORA_RUNNER";
constexpr const char* kModuleVariable = "VELMORA_MODULE";
constexpr const char* kNamePattern = "%05d.eml";
constexpr std::size_t kNameSize = 16;
// A small automatic reply: the module rewrites it, so every message goes
// the whole way (a copy kept, read, a replacement written and removed).
constexpr const char* kMessage = "Return-Path: <>\n"
                                 "From: bob@example.org\n"
                                 "To: alice@example.org\n"
                                 "Subject: Out of office\n"
                                 "Message-ID: <old@example.org>\n"
                                 "X-Autoreply-From: bob@example.org\n"
                                 "\n"
                                 "I am away until Monday.\n";

// The folder of messages, made once.
std::string g_folder;
// What each benchmark measured, nanoseconds per message.
double g_runnerPerMessage = 0;
double g_floorPerMessage = 0;

// A new private folder under the system's temporary folder.
std::string MakeTempFolder(const char* prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        std::perror("mkdtemp");
        std::exit(EXIT_FAILURE);
    }
    return pattern;
}

std::string MessagePath(const std::string& folder, int number) {
    char name[kNameSize];
    std::snprintf(name, sizeof(name), kNamePattern, number);
    return folder + "/" + name;
}

bool WriteFile(const std::string& path, const char* data, std::size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0) {
        return false;
    }
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    return close(fd) == 0 && written;
}

void MakeMessages() {
    g_folder = MakeTempFolder("velmora-bench-messages");
    for (int i = 0; i < kMessages; ++i) {
        if (!WriteFile(MessagePath(g_folder, i), kMessage, std::strlen(kMessage))) {
            std::perror("writing the messages");
            std::exit(EXIT_FAILURE);
        }
    }
}

void RemoveMessages() {
    for (int i = 0; i < kMessages; ++i) {
        unlink(MessagePath(g_folder, i).c_str());
    }
    rmdir(g_folder.c_str());
}

// The environment variable `name`, or `otherwise` when it is not set.
std::string FromEnvironment(const char* name, const char* otherwise) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : otherwise;
}

// Runs velmora-run over the folder, its lines and notes to /dev/null.
void RunRunnerOnce(benchmark::State& state) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string runner = FromEnvironment(kRunnerVariable, VELMORA_RUNNER_PATH);
    std::string moduleOption = "--module";
    std::string module = FromEnvironment(kModuleVariable, VELMORA_MODULE_PATH);
    std::vector<char*> argv = {&runner[0], &moduleOption[0], &module[0], &g_folder[0], nullptr};
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, runner.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        state.SkipWithError("velmora-run failed");
    }
}

void BM_RunnerOverFolder(benchmark::State& state) {
    for (auto _ : state) {
        RunRunnerOnce(state);
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}

// The floor: for each message, its copy written to a private folder, read
// back whole and removed; 7 system calls.
void BM_CopyFloor(benchmark::State& state) {
    const std::string folder = MakeTempFolder("velmora-bench-floor");
    if (chmod(folder.c_str(), kPrivateFolderMode) != 0) {
        state.SkipWithError("chmod");
    }
    const std::size_t size = std::strlen(kMessage);
    std::vector<char> back(kReadChunk);
    for (auto _ : state) {
        for (int i = 0; i < kMessages; ++i) {
            const std::string copy = MessagePath(folder, i);
            bool ok = WriteFile(copy, kMessage, size);
            const int fd = open(copy.c_str(), O_RDONLY | O_CLOEXEC);
            ok = ok && fd >= 0 && read(fd, back.data(), back.size()) == static_cast<ssize_t>(size);
            ok = (fd < 0 || close(fd) == 0) && ok;
            ok = unlink(copy.c_str()) == 0 && ok;
            if (!ok) {
                state.SkipWithError(std::strerror(errno));
                break;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
    rmdir(folder.c_str());
}

// Keeps each benchmark's time per message for the line at the end.
class PerMessageReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // Each repetition, or the median of them when only aggregates
            // are reported.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) {
                continue;
            }
            const double perMessage = run.GetAdjustedRealTime() /
                                      benchmark::GetTimeUnitMultiplier(run.time_unit) *
                                      kNanosecondsPerSecond / kMessages;
            const std::string name = run.benchmark_name();
            if (name.find("BM_RunnerOverFolder") == 0) {
                g_runnerPerMessage = perMessage;
            } else if (name.find("BM_CopyFloor") == 0) {
                g_floorPerMessage = perMessage;
            }
        }
    }
};

} // namespace

BENCHMARK(BM_RunnerOverFolder)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    std::string quick = kQuickMinTime;
    for (char*& arg : args) {
        if (std::strcmp(arg, kQuickOption) == 0) {
            arg = &quick[0];
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    MakeMessages();
    PerMessageReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    RemoveMessages();
    if (g_floorPerMessage > 0) {
        std::printf("\n%d messages: runner %.1f us, floor %.1f us per message; runner / floor "
                    "%.2f\n",
                    kMessages, g_runnerPerMessage / kNanosecondsPerMicrosecond,
                    g_floorPerMessage / kNanosecondsPerMicrosecond,
                    g_runnerPerMessage / g_floorPerMessage);
    }
    benchmark::Shutdown();
    return 0;
}
