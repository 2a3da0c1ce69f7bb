// A run over many messages: one job per message through the same loaded
// module, one line per message for scripts, and a summary.
#ifndef VELMORA_RUNNER_JOB_RUN_LOOP_H
#define VELMORA_RUNNER_JOB_RUN_LOOP_H

#include "runner/inputs/input_reader.h"
#include "runner/job/job_outcome.h"
#include "runner/job/server_job.h"
#include "runner/output/progress_meter.h"
#include "standin/module_loader.h"
#include "standin/reference_host.h"

#include <cstddef>
#include <ostream>
#include <string>

struct ListRunTotals {
    std::size_t outcomes[kJobOutcomeCount] = {};
    bool saveFailed = false; // a replacement could not be saved

    // Messages counted, whatever their outcome.
    std::size_t Messages() const;
    std::size_t Count(JobOutcome outcome) const;
};

// Where a run's lines and problems go, and what it shows meanwhile.
struct ListRunOutput {
    std::ostream* lines;
    std::ostream* errors;
    ProgressMeter* progress;
    bool linesShareTerminal; // the lines go to the terminal the progress is on
};

// Runs every message `inputs` gives through DAEMON in `host`, where STARTUP
// has succeeded. For each message it writes the name, a tab, the outcome,
// and for a rewritten message a tab and the new Message-ID (and, when
// `saveFolder` is not empty, a tab and the file the replacement was saved
// to). Each line goes out as soon as it is made, so that an interrupted
// run keeps what it did. Notes, inputs that cannot be read, messages the
// module could not examine, replacements that cannot be saved and anything
// the module did wrong in the host go to the errors; the run goes on
// until the lines can no longer be written.
ListRunTotals RunMessageList(const LoadedModule& module, ReferenceHost* host, InputReader* inputs,
                             const JobSettings& settings, const std::string& saveFolder,
                             const ListRunOutput& output);

// The closing line: "# N messages: " and the count of each outcome.
void WriteListSummary(std::ostream& out, const ListRunTotals& totals);

#endif
