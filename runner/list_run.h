// A run over many messages: one job per message through the same loaded
// module, one line per message for scripts, and a summary.
#ifndef VELMORA_RUNNER_LIST_RUN_H
#define VELMORA_RUNNER_LIST_RUN_H

#include "runner/job_outcome.h"
#include "runner/job_run.h"
#include "runner/message_list.h"
#include "runner/message_stream.h"
#include "runner/progress_meter.h"
#include "standin/module_loader.h"
#include "standin/reference_host.h"

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct ListRunTotals {
    std::size_t outcomes[kJobOutcomeCount] = {};
    bool saveFailed = false; // a replacement could not be written to --out

    // Messages counted, whatever their outcome.
    std::size_t Messages() const;
};

// Where a run's lines and problems go, and what it shows meanwhile.
struct ListRunOutput {
    std::ostream* lines;
    std::ostream* errors;
    ProgressMeter* progress;
    bool linesShareTerminal; // the lines go to the terminal the progress is on
};

// Runs every message of `sources` through DAEMON in `host`, where STARTUP
// has succeeded. A mailbox gives one message per separator, named
// PATH#N. For each message it writes the name, a tab, the outcome, and
// for a rewritten message a tab and the new Message-ID (and, when
// `outFolder` is not empty, a tab and the file the replacement was saved
// to). Inputs that cannot be read, messages the module could not examine,
// replacements that cannot be saved and anything the module did wrong in
// the host go to the errors with the reason; the run goes on. `opened` is
// the first source, already opened (standard input can be opened once
// only), or null.
ListRunTotals RunMessageList(const LoadedModule& module, ReferenceHost* host,
                             const std::vector<MessageSource>& sources, const JobSettings& settings,
                             const std::string& outFolder, const ListRunOutput& output,
                             std::unique_ptr<MessageStream> opened);

// The closing line: "# N messages: " and the count of each outcome.
void WriteListSummary(std::ostream& out, const ListRunTotals& totals);

#endif
