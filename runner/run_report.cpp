// The runner's report; see run_report.h.
#include "runner/run_report.h"

#include "runner/printable_text.h"

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
        // A long line arrives in pieces: only a line's first is indented.
        bool atLineStart = true;
        for (const std::string& line : job->lines) {
            out << (atLineStart ? kQuoteIndent : "") << PrintableLine(line);
            atLineStart = !line.empty() && line.back() == '\n';
        }
        if (!atLineStart) {
            out << "\n";
        }
    }

    const std::string leaks = host.Leaks();
    if (!leaks.empty()) {
        out << "\nLeft behind by the module: " << PrintableName(leaks) << "\n";
    }
}
