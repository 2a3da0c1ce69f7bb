// The runner's report; see run_report.h.
#include "runner/output/run_report.h"

#include "runner/output/printable_text.h"

namespace {

// Lines quoted from the job stand indented under their heading, so that
// no line of a message can pass for one of the report's own.
constexpr const char* kQuoteIndent = "    ";

} // namespace

void WriteRunReport(std::ostream& out, const ReferenceHost& host, unsigned startupResult,
                    const MessageRun* run) {
    out << "STARTUP returned " << startupResult << "\n";
    if (run == nullptr) {
        out << "DAEMON not called: the module refused to start\n";
    } else if (run->daemonCalled) {
        out << "DAEMON returned " << run->daemonResult << "\n";
    } else {
        out << "DAEMON not called\n";
    }
    if (run != nullptr) {
        out << "Outcome: " << OutcomeName(run->outcome) << " (" << OutcomeMeaning(run->outcome)
            << ")\n";
    }

    out << "\nHost log:\n";
    for (const LogEntry& entry : host.logs) {
        out << "  [" << entry.facility << "," << entry.code << "] " << PrintableName(entry.text)
            << "\n";
    }

    const std::vector<const HostJob*> jobs = host.CreatedJobs();
    if (jobs.empty()) {
        out << "\nNo replacement job was created.\n";
    }
    for (const HostJob* job : jobs) {
        out << "\nReplacement job (" << (job->closed ? "submitted" : "not submitted") << "):\n";
        out << "  MAIL FROM: " << PrintableName(job->sender) << "\n";
        for (const std::string& recipient : job->recipients) {
            out << "  RCPT TO: " << PrintableName(recipient) << "\n";
        }
        out << "  Message:\n";
        // Line by line from the job's text: however it was written, in
        // pieces or not, each line is indented once.
        const std::string& text = job->text;
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

    const std::string leaks = host.Leaks();
    if (!leaks.empty()) {
        out << "\nLeft behind by the module: " << PrintableName(leaks) << "\n";
    }
}
