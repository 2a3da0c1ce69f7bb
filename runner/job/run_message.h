// One message through the module: the road every message takes, whether
// the run prints the full report on it or a line.
#ifndef VELMORA_RUNNER_JOB_RUN_MESSAGE_H
#define VELMORA_RUNNER_JOB_RUN_MESSAGE_H

#include "runner/inputs/input_reader.h"
#include "runner/job/job_outcome.h"
#include "runner/job/server_job.h"
#include "standin/job_record.h"
#include "standin/module_loader.h"
#include "standin/standin_server.h"

#include <string>
#include <vector>

// What one message gave. Its texts are as they came (names from the file
// system, lines from the mail): whoever shows them escapes them.
struct MessageRun {
    JobOutcome outcome = JobOutcome::kUnreadable;
    JobRecord record;         // the server's record of the job, when one ran
    std::string newMessageId; // of the replacement, when rewritten
    std::string savedTo;      // where the replacement was saved, when it was
    bool saveFailed = false;  // it was to be saved and could not be
    // Lines for standard error, without the program's name: why it was
    // not examined, what the module did wrong in the server, why the
    // replacement could not be saved.
    std::vector<std::string> problems;
};

// Runs `item` (a message, an unreadable input, one too large or not mail)
// as a job in `server`, where STARTUP succeeded, ends the job and judges
// what the module did by the job's record; only a message is handed to
// the module. A rewritten message's replacement is saved in `saveFolder`
// unless that is empty. The message text is taken from `item`.
MessageRun RunMessage(const LoadedModule& module, StandInServer* server,
                      const JobSettings& settings, InputMessage* item,
                      const std::string& saveFolder);

#endif
