// One message through the module: the road every message takes, whether
// the run prints the full report on it or a line.
#ifndef VELMORA_RUNNER_JOB_RUN_MESSAGE_H
#define VELMORA_RUNNER_JOB_RUN_MESSAGE_H

#include "runner/inputs/input_reader.h"
#include "runner/job/job_outcome.h"
#include "runner/job/server_job.h"
#include "standin/module_loader.h"
#include "standin/reference_host.h"

#include <cstdint>
#include <string>
#include <vector>

// What one message gave.
struct MessageRun {
    JobOutcome outcome = JobOutcome::kUnreadable;
    bool daemonCalled = false;
    std::int32_t daemonResult = 0;
    std::string newMessageId; // of the replacement, when rewritten
    std::string savedTo;      // where the replacement was saved, when it was
    bool saveFailed = false;  // it was to be saved and could not be
    // Lines for standard error, printable, without the program's name:
    // why it was not examined, what the module did wrong in the server,
    // why the replacement could not be saved.
    std::vector<std::string> problems;
};

// Runs `item` (a message, an unreadable input, one too large or not mail)
// as a job in `host`, where STARTUP succeeded, and judges what the module
// did; only a message is handed to the module. A rewritten message's
// replacement is saved in `saveFolder` unless that is empty. The message
// text is taken from `item`. The host is to have forgotten the jobs before
// (ForgetHistory); it keeps this job's record (its log and the jobs the
// module made) for the full report until it forgets it.
MessageRun RunMessage(const LoadedModule& module, ReferenceHost* host, const JobSettings& settings,
                      InputMessage* item, const std::string& saveFolder);

#endif
