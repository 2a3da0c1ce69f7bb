// What must hold after STARTUP or DAEMON, whatever the host answered. Each
// check aborts (so the fuzzer reports the input) when it does not hold.
#ifndef VELMORA_FUZZ_HOST_INVARIANTS_H
#define VELMORA_FUZZ_HOST_INVARIANTS_H

#include "fuzz/fuzzed_host.h"

#include <cstdint>
#include <set>
#include <string>

// STARTUP's result and log line follow from the version bytes and the
// configured sender alone; the domain is asked for only when it succeeds.
void CheckStartup(const FuzzedHost& host, const char* configuredSender, std::uint8_t result);

// The Message-ID numbers one loaded module has issued.
struct IssuedNumbers {
    bool any = false;
    std::uint32_t last = 0;
    std::uint32_t lastReading = 0; // the clock when `last` was issued
    std::set<std::uint32_t> all;
};

// After one DAEMON call:
//   - the result is 1 exactly when a job was created and closing it was
//     answered above 0;
//   - every created job is closed at most once and released exactly once,
//     the incoming one never; every opened message file is closed; no
//     temporary file is left;
//   - the log lines are exactly those the answers call for, in order;
//   - a created job goes out under the configured sender, to the recipients
//     handed out, starting with a Message-ID of its own and holding the
//     message minus its old Message-ID field.
void CheckDaemonRound(const FuzzedHost& host, const DaemonRound& round,
                      const char* configuredSender, const std::string& domain, std::int32_t result,
                      IssuedNumbers* issued);

#endif
