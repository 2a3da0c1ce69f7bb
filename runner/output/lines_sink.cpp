// One line per message; see lines_sink.h.
#include "runner/output/lines_sink.h"

#include "runner/output/printable_text.h"

namespace {

constexpr char kField = '\t';

} // namespace

LinesSink::LinesSink(std::ostream* lines, Diagnostics* diagnostics, bool linesShareTerminal)
    : lines_(lines), diagnostics_(diagnostics), linesShareTerminal_(linesShareTerminal) {}

void LinesSink::Refused(const JobRecord& startup) {
    for (const LogEntry& entry : startup.logs) {
        diagnostics_->Say("the module logged: " + entry.text);
    }
    diagnostics_->Say("the module refused to start; no message was run");
}

void LinesSink::Started(unsigned /*startupResult*/, const JobRecord& /*startup*/) {}

void LinesSink::Notes(const std::vector<std::string>& notes) {
    diagnostics_->Say(notes);
}

void LinesSink::Took(const std::string& name, const MessageRun& run, const RunPosition& at) {
    ProgressMeter& progress = diagnostics_->Progress();
    if (linesShareTerminal_) {
        progress.Hide();
    }
    diagnostics_->Say(run.problems);
    std::string line = PrintableName(name) + kField + OutcomeName(run.outcome);
    if (!run.newMessageId.empty()) {
        line += kField + PrintableName(run.newMessageId);
    }
    if (!run.savedTo.empty()) {
        line += kField + PrintableName(run.savedTo);
    }
    *lines_ << line << "\n" << std::flush;
    progress.SetBytesTotal(at.mailboxSize);
    progress.Update(at.messagesDone, at.bytesRead);
}

ExitStatus LinesSink::Finished(const RunTotals& totals) {
    diagnostics_->Progress().Hide();
    WriteListSummary(*lines_, totals);
    return ExitStatus::kOk;
}

bool LinesSink::WantsMore() const {
    return static_cast<bool>(*lines_);
}

void WriteListSummary(std::ostream& out, const RunTotals& totals) {
    const std::size_t all = totals.Messages();
    out << "# " << all << (all == 1 ? " message: " : " messages: ");
    for (std::size_t i = 0; i < kJobOutcomeCount; ++i) {
        out << (i == 0 ? "" : ", ") << totals.outcomes[i] << " "
            << OutcomeName(static_cast<JobOutcome>(i));
    }
    out << "\n";
}
