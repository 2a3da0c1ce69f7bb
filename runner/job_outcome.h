// What became of one job, judged from what the module did in the host: its
// log lines, its calls and the job it created.
#ifndef VELMORA_RUNNER_JOB_OUTCOME_H
#define VELMORA_RUNNER_JOB_OUTCOME_H

#include "standin/reference_host.h"

#include <cstddef>
#include <string>

enum class JobOutcome {
    kRewritten,  // re-sent under the configured sender
    kUnable,     // an autoreply the module could not re-send
    kTurnedAway, // header found, the address tests said no
    kNoHeader,   // null sender, but no usable X-Autoreply-From header
    kOrdinary,   // not a null sender: left alone without a look inside
    kUnexamined, // null sender, but the server's copy for the module failed
    kUnreadable, // the message file could not be read; no job ran
};

constexpr std::size_t kJobOutcomeCount = 7;

// The outcome's name as the runner prints it.
const char* OutcomeName(JobOutcome outcome);

// Judges the one job the host has seen since it last forgot its history,
// which had the envelope sender `envelopeSender`.
JobOutcome JudgeJob(const ReferenceHost& host, const std::string& envelopeSender);

// The submitted replacement, or null when there is none.
const HostJob* SubmittedReplacement(const ReferenceHost& host);

// The value of the Message-ID line the replacement starts with, without
// its line end; empty if it does not start with one.
std::string NewMessageId(const HostJob& replacement);

#endif
