// A run over many messages; see run_loop.h.
#include "runner/job/run_loop.h"

#include "runner/job/run_message.h"
#include "runner/output/printable_text.h"

namespace {

constexpr char kField = '\t';
constexpr const char* kProgramName = "velmora-run";

// Prints one message's line and its problems, and counts it.
class ResultSink {
  public:
    ResultSink(const ListRunOutput& output, ListRunTotals* totals)
        : output_(output), totals_(totals) {}

    void Say(const std::vector<std::string>& lines) {
        if (lines.empty()) {
            return;
        }
        output_.progress->Hide();
        for (const std::string& line : lines) {
            *output_.errors << kProgramName << ": " << line << "\n";
        }
        *output_.errors << std::flush;
    }

    void Take(const std::string& name, const MessageRun& run) {
        ++totals_->outcomes[static_cast<std::size_t>(run.outcome)];
        totals_->saveFailed = totals_->saveFailed || run.saveFailed;
        if (output_.linesShareTerminal) {
            output_.progress->Hide();
        }
        Say(run.problems);
        std::string line = name + kField + OutcomeName(run.outcome);
        if (!run.newMessageId.empty()) {
            line += kField + PrintableName(run.newMessageId);
        }
        if (!run.savedTo.empty()) {
            line += kField + PrintableName(run.savedTo);
        }
        *output_.lines << line << "\n" << std::flush;
    }

    std::size_t Done() const { return totals_->Messages(); }

  private:
    ListRunOutput output_;
    ListRunTotals* totals_;
};

} // namespace

ListRunTotals RunMessageList(const LoadedModule& module, ReferenceHost* host, InputReader* inputs,
                             const JobSettings& settings, const std::string& saveFolder,
                             const ListRunOutput& output) {
    ListRunTotals totals;
    ResultSink sink(output, &totals);
    InputMessage item;
    // Once the lines cannot be written (a reader gone from the pipe), no
    // more jobs: the run ends with what it has, and cleans up.
    while (*output.lines && inputs->Next(&item)) {
        sink.Say(item.notes);
        if (item.kind == InputItemKind::kNotesOnly) {
            continue;
        }
        const std::string name = item.name;
        host->ForgetHistory(); // each job judged on its own record
        sink.Take(name, RunMessage(module, host, settings, &item, saveFolder));
        output.progress->SetBytesTotal(inputs->InMailbox() ? inputs->Size() : 0);
        output.progress->Update(sink.Done(), inputs->BytesRead());
    }
    output.progress->Hide();
    host->ForgetHistory(); // closes what the last job left open
    return totals;
}

std::size_t ListRunTotals::Messages() const {
    std::size_t all = 0;
    for (std::size_t count : outcomes) {
        all += count;
    }
    return all;
}

std::size_t ListRunTotals::Count(JobOutcome outcome) const {
    return outcomes[static_cast<std::size_t>(outcome)];
}

void WriteListSummary(std::ostream& out, const ListRunTotals& totals) {
    const std::size_t all = totals.Messages();
    out << "# " << all << (all == 1 ? " message: " : " messages: ");
    for (std::size_t i = 0; i < kJobOutcomeCount; ++i) {
        out << (i == 0 ? "" : ", ") << totals.outcomes[i] << " "
            << OutcomeName(static_cast<JobOutcome>(i));
    }
    out << "\n";
}
