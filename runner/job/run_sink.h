// Where a run tells what became of its messages: the full report on one
// message, or a line for each of many. The run's one loop (run_loop.h)
// drives either the same way.
#ifndef VELMORA_RUNNER_JOB_RUN_SINK_H
#define VELMORA_RUNNER_JOB_RUN_SINK_H

#include "runner/job/exit_status.h"
#include "runner/job/job_outcome.h"
#include "runner/job/run_message.h"
#include "standin/job_record.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How far a run is, for a progress display.
struct RunPosition {
    std::size_t messagesDone = 0;
    std::uint64_t bytesRead = 0;   // of the input being read
    std::uint64_t mailboxSize = 0; // 0: not in a mailbox, or its size unknown
};

// What a run's messages came to.
struct RunTotals {
    std::size_t outcomes[kJobOutcomeCount] = {};
    bool saveFailed = false; // a replacement could not be saved

    // Messages counted, whatever their outcome.
    std::size_t Messages() const;
    std::size_t Count(JobOutcome outcome) const;
    // The status the run ends with for them.
    ExitStatus Status() const;
};

class RunSink {
  public:
    virtual ~RunSink() = default;

    // The module refused to start: `startup` is what it did meanwhile.
    virtual void Refused(const JobRecord& startup) = 0;
    // It started: STARTUP's result and what it did meanwhile.
    virtual void Started(unsigned startupResult, const JobRecord& startup) = 0;
    // What the inputs skipped or changed on the way to the next message.
    virtual void Notes(const std::vector<std::string>& notes) = 0;
    // One message's result, as soon as it is known.
    virtual void Took(const std::string& name, const MessageRun& run, const RunPosition& at) = 0;
    // The run is over; the status this way of telling adds (kOk for none).
    virtual ExitStatus Finished(const RunTotals& totals) = 0;
    // False once no more jobs are to run: what it writes is lost (a reader
    // gone from the pipe), or it has all it tells of.
    virtual bool WantsMore() const = 0;
};

#endif
