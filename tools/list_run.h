// A run over many messages: one job per message through the same loaded
// module, one line per message for scripts, and a summary.
#ifndef VELMORA_TOOLS_LIST_RUN_H
#define VELMORA_TOOLS_LIST_RUN_H

#include "testhost/module_loader.h"
#include "testhost/reference_host.h"
#include "tools/job_outcome.h"
#include "tools/job_run.h"
#include "tools/message_list.h"
#include "tools/progress_meter.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

struct ListRunTotals {
    std::size_t outcomes[kJobOutcomeCount] = {};
    bool saveFailed = false; // a replacement could not be written to --out
};

// Runs every message through DAEMON in `host`, where STARTUP has succeeded.
// For each it writes to `out` the path, a tab, the outcome, and for a
// rewritten message a tab and the new Message-ID (and, when `outFolder` is
// not empty, a tab and the file the replacement was saved to). Files that
// cannot be read, replacements that cannot be saved and anything the
// module did wrong in the host go to `errors` with the reason; the run
// goes on.
ListRunTotals RunMessageList(const LoadedModule& module, ReferenceHost* host,
                             const std::vector<MessageSource>& messages,
                             const JobSettings& settings, const std::string& outFolder,
                             std::ostream& out, std::ostream& errors, ProgressMeter* progress);

// The closing line: "# N messages: " and the count of each outcome.
void WriteListSummary(std::ostream& out, const ListRunTotals& totals);

#endif
