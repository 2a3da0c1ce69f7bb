// The runner's report; see run_report.h.
#include "runner/output/run_report.h"

#include "runner/output/printable_text.h"

namespace {

// Lines quoted from the job stand indented under their heading, so that
// no line of a message can pass for one of the report's own.
constexpr const char* kQuoteIndent = "    ";

// The log lines of a record, one a line.
void WriteLog(std::ostream& out, const JobRecord& record) {
    for (const LogEntry& entry : record.logs) {
        out << "  [" << entry.facility << "," << entry.code << "] " << PrintableName(entry.text)
            << "\n";
    }
}

} // namespace

void WriteRunReport(std::ostream& out, unsigned startupResult, const JobRecord& startup,
                    const MessageRun* run) {
    out << "STARTUP returned " << startupResult << "\n";
    if (run == nullptr) {
        out << "DAEMON not called: the module refused to start\n";
    } else if (run->record.daemonCalled) {
        out << "DAEMON returned " << run->record.daemonResult << "\n";
    } else {
        out << "DAEMON not called\n";
    }
    if (run != nullptr) {
        out << "Outcome: " << OutcomeName(run->outcome) << " (" << OutcomeMeaning(run->outcome)
            << ")\n";
    }

    out << "\nHost log:\n";
    WriteLog(out, startup);
    if (run != nullptr) {
        WriteLog(out, run->record);
    }

    const std::vector<MadeJob> noJobs;
    const std::vector<MadeJob>& jobs = run != nullptr ? run->record.madeJobs : noJobs;
    if (jobs.empty()) {
        out << "\nNo replacement job was created.\n";
    }
    for (const MadeJob& job : jobs) {
        out << "\nReplacement job (" << (job.closed ? "submitted" : "not submitted") << "):\n";
        out << "  MAIL FROM: " << PrintableName(job.sender) << "\n";
        for (const std::string& recipient : job.recipients) {
            out << "  RCPT TO: " << PrintableName(recipient) << "\n";
        }
        out << "  Message:\n";
        // Line by line from the job's text: however it was written, in
        // pieces or not, each line is indented once.
        const std::string& text = job.text;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t feed = text.find('\n', start);
            const std::size_t end = feed == std::string::npos ? text.size() : feed + 1;
            out << kQuoteIndent << PrintableLine(text.substr(start, end - start));
            start = end;
        }
        if (!text.empty() && text.back() != '\n') {
            out << "\n";
        }
    }

    const std::string leaks = startup.leftBehind + (run != nullptr ? run->record.leftBehind : "");
    if (!leaks.empty()) {
        out << "\nLeft behind by the module: " << PrintableName(leaks) << "\n";
    }
}
