// The full report on one message: what the module logged and returned,
// what became of the message, and the replacement job it made.
#ifndef VELMORA_RUNNER_OUTPUT_RUN_REPORT_H
#define VELMORA_RUNNER_OUTPUT_RUN_REPORT_H

#include "runner/job/run_message.h"
#include "standin/job_record.h"

#include <ostream>

// Writes the report. `startup` is the record of STARTUP; `run` is null
// when start-up refused and the message was not passed on. Everything
// quoted from the job is shown, never obeyed by the terminal (see
// printable_text.h).
void WriteRunReport(std::ostream& out, unsigned startupResult, const JobRecord& startup,
                    const MessageRun* run);

#endif
