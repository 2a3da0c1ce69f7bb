// The full report on one message; see report_sink.h.
#include "runner/output/report_sink.h"

#include "runner/output/printable_text.h"
#include "runner/output/run_report.h"

#include <utility>

ReportSink::ReportSink(std::ostream* out, Diagnostics* diagnostics, std::string namedPath)
    : out_(out), diagnostics_(diagnostics), namedPath_(std::move(namedPath)) {}

void ReportSink::Refused(const JobRecord& startup) {
    WriteRunReport(*out_, 0, startup, nullptr);
}

void ReportSink::Started(unsigned startupResult, const JobRecord& startup) {
    startupResult_ = startupResult;
    startup_ = startup;
}

void ReportSink::Notes(const std::vector<std::string>& notes) {
    diagnostics_->Say(notes);
}

void ReportSink::Took(const std::string& /*name*/, const MessageRun& run,
                      const RunPosition& /*at*/) {
    took_ = true;
    // An input that could not be read made no job to report on.
    if (run.outcome != JobOutcome::kUnreadable) {
        WriteRunReport(*out_, startupResult_, startup_, &run);
    }
    diagnostics_->Say(run.problems);
    if (!run.savedTo.empty()) {
        *out_ << "\nReplacement saved to " << PrintableName(run.savedTo) << "\n";
    }
}

ExitStatus ReportSink::Finished(const RunTotals& /*totals*/) {
    if (took_) {
        return ExitStatus::kOk;
    }
    diagnostics_->Say("no message in " + namedPath_);
    return ExitStatus::kBadMessage;
}

bool ReportSink::WantsMore() const {
    return !took_ && static_cast<bool>(*out_);
}
