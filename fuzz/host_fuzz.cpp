// libFuzzer target: STARTUP and DAEMON inside a host whose every answer
// comes from the input (see fuzzed_host.h). One input is one load of the
// module: STARTUP once, then one to three DAEMON calls, each with a fresh
// incoming job; after each call the invariants of host_invariants.h must
// hold.
#include "daemon/entry_points.h"
#include "daemon/message_id.h"
#include "daemon/module_state.h"
#include "fuzz/fuzzed_answers.h"
#include "fuzz/fuzzed_host.h"
#include "fuzz/host_invariants.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

namespace {

constexpr int kMaxDaemonCalls = 3;
constexpr std::size_t kMaxConfiguredSenderLength = 64;

// The domain the module should have learnt at start-up.
std::string LearntDomain(const FuzzedHost& host, std::uint8_t startupResult) {
    if (startupResult == 0 || !host.domainQueried || host.domainIsNull) {
        return "";
    }
    return host.domain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Each input is a fresh load of the module.
    ResetMessageIdSequence();
    StoreMessageIdDomain(nullptr);

    FuzzedDataProvider input(data, size);
    FuzzedHost host(&input);

    std::string senderText;
    const bool senderIsNull = input.ConsumeBool();
    if (!senderIsNull) {
        senderText = FuzzedText(input, kMaxConfiguredSenderLength);
    }
    const char* sender = senderIsNull ? nullptr : senderText.c_str();

    const std::uint8_t started = STARTUP(host.Block(), nullptr, nullptr, sender);
    CheckStartup(host, sender, started);
    const std::string domain = LearntDomain(host, started);

    IssuedNumbers issued;
    const int calls = input.ConsumeIntegralInRange(1, kMaxDaemonCalls);
    for (int call = 0; call < calls; ++call) {
        JobHandle job = host.BeginRound();
        const std::int32_t result = DAEMON(job, host.Block(), nullptr, sender);
        CheckDaemonRound(host, host.Round(), sender, domain, result, &issued);
    }
    return 0;
}
