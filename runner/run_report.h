// What the runner prints after a job: the log, the results, the new job.
#ifndef VELMORA_RUNNER_RUN_REPORT_H
#define VELMORA_RUNNER_RUN_REPORT_H

#include "standin/reference_host.h"

#include <cstdint>
#include <ostream>

// Writes the report. `ranDaemon` is false when start-up refused and the job
// was not passed on.
void WriteRunReport(std::ostream& out, const ReferenceHost& host, unsigned startupResult,
                    bool ranDaemon, std::int32_t daemonResult);

#endif
