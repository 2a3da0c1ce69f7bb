// The full report on a run of one message (a message file named alone,
// or the bundled sample): written once the message is judged, with its
// problems on standard error after it.
#ifndef VELMORA_RUNNER_OUTPUT_REPORT_SINK_H
#define VELMORA_RUNNER_OUTPUT_REPORT_SINK_H

#include "runner/job/run_sink.h"
#include "runner/output/diagnostics.h"

#include <ostream>
#include <string>

class ReportSink : public RunSink {
  public:
    // `namedPath`: the PATH named, for "no message in" it; empty for the
    // sample.
    ReportSink(std::ostream* out, Diagnostics* diagnostics, std::string namedPath);

    void Refused(const JobRecord& startup) override;
    void Started(unsigned startupResult, const JobRecord& startup) override;
    void Notes(const std::vector<std::string>& notes) override;
    void Took(const std::string& name, const MessageRun& run, const RunPosition& at) override;
    ExitStatus Finished(const RunTotals& totals) override;
    bool WantsMore() const override;

  private:
    std::ostream* out_;
    Diagnostics* diagnostics_;
    std::string namedPath_;
    unsigned startupResult_ = 0;
    JobRecord startup_;
    bool took_ = false; // one message is all a report is about
};

#endif
