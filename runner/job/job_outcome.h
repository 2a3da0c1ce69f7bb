// What became of one message in a run: the outcomes the runner tells,
// each with the name it prints, the words --help gives it and the status
// the run ends with for it.
#ifndef VELMORA_RUNNER_JOB_JOB_OUTCOME_H
#define VELMORA_RUNNER_JOB_JOB_OUTCOME_H

#include "runner/job/exit_status.h"

#include <cstddef>

enum class JobOutcome {
    kRewritten,  // re-sent under the configured sender
    kUnable,     // an autoreply the module could not re-send
    kTurnedAway, // header found, the address tests said no
    kNoHeader,   // null sender, but no usable X-Autoreply-From header
    kOrdinary,   // not a null sender: left alone without a look inside
    kUnexamined, // null sender, but the server's copy for the module failed
    kUnreadable, // the input could not be read; no job ran
    kNotMail,    // empty, or not text mail: never handed to the module
    kTooLarge,   // over the size limit, or too large to hold in memory; no job ran
    kCount       // not an outcome: how many there are
};

constexpr std::size_t kJobOutcomeCount = static_cast<std::size_t>(JobOutcome::kCount);

// The outcome's name as the runner prints it ("turned-away").
const char* OutcomeName(JobOutcome outcome);

// What the outcome means, in a few words for --help.
const char* OutcomeMeaning(JobOutcome outcome);

// The status a run with this outcome ends with, when nothing graver
// happened.
ExitStatus OutcomeStatus(JobOutcome outcome);

#endif
