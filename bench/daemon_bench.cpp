// How long DAEMON takes to re-send an autoreply, by message size, inside
// the reference host (whose own bookkeeping is part of the time).
#include "daemon/entry_points.h"
#include "testhost/reference_host.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string MessageWithBodyLines(int count) {
    std::string message = "From: bob@example.org\n"
                          "Message-ID: <old@example.org>\n"
                          "X-Autoreply-From: bob@example.org\n"
                          "\n";
    const std::string line(76, 'x');
    for (int i = 0; i < count; ++i) {
        message += line + "\n";
    }
    return message;
}

void BM_ResendAutoreply(benchmark::State& state) {
    const std::string message = MessageWithBodyLines(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        ReferenceHost host;
        JobHandle job = host.AddIncomingJob("<>", {"a@example.net"}, message);
        state.ResumeTiming();
        benchmark::DoNotOptimize(DAEMON(job, host.Block(), nullptr, "relay@example.org"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(message.size()));
}
BENCHMARK(BM_ResendAutoreply)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
