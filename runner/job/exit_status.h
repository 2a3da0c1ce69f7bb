// How a run of velmora-run ends: each status with its code and the words
// --help gives it, in one table. A run that meets several ends with the
// gravest, which comes first in the table.
#ifndef VELMORA_RUNNER_JOB_EXIT_STATUS_H
#define VELMORA_RUNNER_JOB_EXIT_STATUS_H

#include <cstddef>

enum class ExitStatus {
    kBadOption,      // nothing ran
    kBadModule,      // nothing ran
    kStartupRefused, // nothing ran
    kBadOutput,      // a report, a line or a replacement was lost
    kBadMessage,     // a message could not be read, or a PATH is missing
    kUnexamined,     // a message was not examined, or was too large
    kOk,
    kCount // not a status: how many there are
};

constexpr std::size_t kExitStatusCount = static_cast<std::size_t>(ExitStatus::kCount);

// The process's exit code for `status`.
int ExitCode(ExitStatus status);

// What the status means, in a few words for --help.
const char* ExitMeaning(ExitStatus status);

// The status a run ends with that has met both `a` and `b`.
ExitStatus Graver(ExitStatus a, ExitStatus b);

#endif
