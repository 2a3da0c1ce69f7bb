// What the module costs the host: DAEMON on an ordinary job, and DAEMON
// re-sending automatic replies of 1 KB to 10 MB, against the floor of the
// bare host calls the same replacement has to make (host_call_floor.h).
// Runs inside the bare host (bare_host.h), so that the host's own work is
// as small as it can be and the module's share shows.
//
//   velmora_daemon_bench [--quick] [Google Benchmark options]
//
// --quick measures each case for a short while only. With
// --benchmark_repetitions=N the table uses each case's median. After the usual
// output a table gives, per message size, the module's time, the floor's,
// their ratio, the time per line and the heap allocations per replacement.
#include "bench/allocation_counter.h"
#include "bench/bare_host.h"
#include "bench/host_call_floor.h"
#include "daemon/entry_points.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* kConfiguredSender = "relay@example.org";
constexpr const char* kQuickOption = "--quick";
constexpr const char* kQuickMinTime = "--benchmark_min_time=0.05";
constexpr std::int64_t kKilobyte = 1024;
constexpr std::int64_t kMegabyte = 1024 * kKilobyte;
constexpr std::int64_t kShortLine = 80;
constexpr std::int64_t kLongLine = 1000;
constexpr std::size_t kLineEndLength = 2;
constexpr double kNanosecondsPerMicrosecond = 1000.0;
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

// The sizes measured: {message bytes, line length with its CR LF}.
const std::vector<std::vector<std::int64_t>> kMessageShapes = {
    {kKilobyte, kShortLine},      {64 * kKilobyte, kShortLine}, {kMegabyte, kShortLine},
    {10 * kMegabyte, kShortLine}, {kMegabyte, kLongLine},
};

// An automatic reply of about `bytes` bytes whose body lines are
// `lineLength` bytes long, CR LF included.
std::vector<std::string> AutoreplyLines(std::int64_t bytes, std::int64_t lineLength) {
    std::vector<std::string> lines = {"From: bob@example.org\r\n",
                                      "Message-ID: <old@example.org>\r\n",
                                      "X-Autoreply-From: bob@example.org\r\n", "\r\n"};
    std::int64_t total = 0;
    for (const std::string& line : lines) {
        total += static_cast<std::int64_t>(line.size());
    }
    const std::string body =
        std::string(static_cast<std::size_t>(lineLength) - kLineEndLength, 'x') + "\r\n";
    while (total < bytes) {
        lines.push_back(body);
        total += lineLength;
    }
    return lines;
}

std::int64_t TotalBytes(const std::vector<std::string>& lines) {
    std::int64_t total = 0;
    for (const std::string& line : lines) {
        total += static_cast<std::int64_t>(line.size());
    }
    return total;
}

struct CallCost {
    std::int32_t result;
    std::size_t hostCalls;
    std::size_t allocations;
    std::size_t linesWritten;
};

// Runs DAEMON once and counts what it cost.
CallCost MeasureOneCall(const HostServiceBlock* block, BareJob* job) {
    BareHostCount() = BareHostCounters{};
    const std::size_t before = AllocationCount();
    const std::int32_t result = DAEMON(BareIncomingJob(job), block, nullptr, kConfiguredSender);
    return {result, BareHostCount().hostCalls, AllocationCount() - before,
            BareHostCount().linesWritten};
}

// "/bytes/line", the suffix of a case's name.
std::string ShapeName(std::int64_t bytes, std::int64_t lineLength) {
    return "/" + std::to_string(bytes) + "/" + std::to_string(lineLength);
}

// Allocations per replacement, by message shape, for the closing table.
std::map<std::string, std::size_t> g_allocationsByShape;

// The most heap allocations one replacement may make, whatever its size.
constexpr std::size_t kMaxAllocationsPerReplacement = 4;

// Set when a case broke one of the module's promises; the program then
// exits non-zero, so that a test run catches it.
bool g_promiseBroken = false;

void Fail(benchmark::State& state, const char* what) {
    g_promiseBroken = true;
    state.SkipWithError(what);
}

void BM_OrdinaryJob(benchmark::State& state) {
    HostServiceBlock block;
    BuildBareHostBlock(&block);
    BareJob job;
    job.sender = "bob@example.org";
    job.lines = AutoreplyLines(kKilobyte, kShortLine);

    const CallCost cost = MeasureOneCall(&block, &job);
    if (cost.result != 0 || cost.hostCalls != 1 || cost.allocations != 0) {
        Fail(state, "an ordinary job must take one host call and no allocation");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(DAEMON(BareIncomingJob(&job), &block, nullptr, kConfiguredSender));
    }
    state.counters["host_calls"] = static_cast<double>(cost.hostCalls);
    state.counters["allocations"] = static_cast<double>(cost.allocations);
}
BENCHMARK(BM_OrdinaryJob);

// Per-message, per-line and byte-rate figures shared by both families.
void ReportSize(benchmark::State& state, const std::vector<std::string>& lines) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * TotalBytes(lines));
    state.counters["lines"] = static_cast<double>(lines.size());
    state.counters["per_line"] = benchmark::Counter(static_cast<double>(lines.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

void BM_Replacement(benchmark::State& state) {
    HostServiceBlock block;
    BuildBareHostBlock(&block);
    STARTUP(&block, nullptr, nullptr, kConfiguredSender);
    BareJob job;
    job.sender = "<>";
    job.lines = AutoreplyLines(state.range(0), state.range(1));

    // One checked run first: the copy is complete (old Message-ID out, new
    // one in) and the allocations are counted.
    const CallCost cost = MeasureOneCall(&block, &job);
    if (cost.result != 1 || cost.linesWritten != job.lines.size()) {
        Fail(state, "the replacement did not go out whole");
        return;
    }
    if (cost.allocations > kMaxAllocationsPerReplacement) {
        Fail(state, "too many heap allocations for one replacement");
        return;
    }
    g_allocationsByShape[ShapeName(state.range(0), state.range(1))] = cost.allocations;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DAEMON(BareIncomingJob(&job), &block, nullptr, kConfiguredSender));
    }
    ReportSize(state, job.lines);
    state.counters["allocations"] = static_cast<double>(cost.allocations);
}

void BM_Floor(benchmark::State& state) {
    HostServiceBlock block;
    BuildBareHostBlock(&block);
    BareJob job;
    job.sender = "<>";
    job.lines = AutoreplyLines(state.range(0), state.range(1));
    for (auto _ : state) {
        ReplayReplacementHostCalls(&block, BareIncomingJob(&job));
    }
    ReportSize(state, job.lines);
}

void RegisterSizes() {
    for (std::size_t i = 0; i < kMessageShapes.size(); ++i) {
        benchmark::RegisterBenchmark("BM_Replacement", BM_Replacement)
            ->Args(kMessageShapes[i])
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("BM_Floor", BM_Floor)
            ->Args(kMessageShapes[i])
            ->Unit(benchmark::kMicrosecond);
    }
}

// True when every message shape measured took as many allocations.
bool AllocationsIndependentOfSize() {
    for (const auto& [shape, count] : g_allocationsByShape) {
        if (count != g_allocationsByShape.begin()->second) {
            return false;
        }
    }
    return true;
}

// Console output as usual, while keeping each case's time per iteration
// for the table at the end.
class TableReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // With repetitions, the median stands for the case; without,
            // the single run does.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((median || run.run_type == Run::RT_Iteration) && !run.error_occurred) {
                const double seconds =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
                if (median || times_.count(run.run_name.str()) == 0) {
                    times_[run.run_name.str()] = seconds;
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Module against floor, one row per message shape.
    void PrintTable() const {
        std::printf("\n%10s %6s %12s %12s %7s %9s %8s %7s\n", "bytes", "line", "module us",
                    "floor us", "ratio", "ns/line", "MB/s", "allocs");
        for (const std::vector<std::int64_t>& shape : kMessageShapes) {
            const std::string args = ShapeName(shape[0], shape[1]);
            const auto module = times_.find("BM_Replacement" + args);
            const auto floor = times_.find("BM_Floor" + args);
            if (module == times_.end() || floor == times_.end()) {
                continue; // filtered out
            }
            const std::vector<std::string> lines = AutoreplyLines(shape[0], shape[1]);
            const double microseconds = module->second * 1e6;
            std::printf("%10lld %6lld %12.1f %12.1f %7.3f %9.1f %8.1f %7zu\n",
                        static_cast<long long>(shape[0]), static_cast<long long>(shape[1]),
                        microseconds, floor->second * 1e6, module->second / floor->second,
                        microseconds * kNanosecondsPerMicrosecond /
                            static_cast<double>(lines.size()),
                        static_cast<double>(TotalBytes(lines)) / kBytesPerMegabyte / module->second,
                        g_allocationsByShape[args]);
        }
    }

  private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    for (char*& arg : args) {
        if (std::strcmp(arg, kQuickOption) == 0) {
            arg = const_cast<char*>(kQuickMinTime);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }
    RegisterSizes();
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTable();
    benchmark::Shutdown();
    if (!AllocationsIndependentOfSize()) {
        std::printf("Allocations per replacement vary with the message size.\n");
        g_promiseBroken = true;
    }
    return g_promiseBroken ? 1 : 0;
}
