// One line per message, for scripts, and a summary: the name, a tab, the
// outcome, and for a rewritten message a tab and the new Message-ID (and,
// when replacements are saved, a tab and the file). Each line goes out as
// soon as it is made, so that an interrupted run keeps what it did; on a
// terminal, standard error shows the progress meanwhile.
#ifndef VELMORA_RUNNER_OUTPUT_LINES_SINK_H
#define VELMORA_RUNNER_OUTPUT_LINES_SINK_H

#include "runner/job/run_sink.h"
#include "runner/output/diagnostics.h"

#include <ostream>

class LinesSink : public RunSink {
  public:
    // `linesShareTerminal`: the lines go to the terminal the progress is on.
    LinesSink(std::ostream* lines, Diagnostics* diagnostics, bool linesShareTerminal);

    void Refused(const JobRecord& startup) override;
    void Started(unsigned startupResult, const JobRecord& startup) override;
    void Notes(const std::vector<std::string>& notes) override;
    void Took(const std::string& name, const MessageRun& run, const RunPosition& at) override;
    ExitStatus Finished(const RunTotals& totals) override;
    bool WantsMore() const override;

  private:
    std::ostream* lines_;
    Diagnostics* diagnostics_;
    bool linesShareTerminal_;
};

// The summary line: "# N messages: " and the count of each outcome.
void WriteListSummary(std::ostream& out, const RunTotals& totals);

#endif
