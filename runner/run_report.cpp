// The runner's report; see run_report.h.
#include "runner/run_report.h"

void WriteRunReport(std::ostream& out, const ReferenceHost& host, unsigned startupResult,
                    bool ranDaemon, std::int32_t daemonResult) {
    out << "STARTUP returned " << startupResult << "\n";
    if (ranDaemon) {
        out << "DAEMON returned " << daemonResult << "\n";
    } else {
        out << "DAEMON not called: the module refused to start\n";
    }

    out << "\nHost log:\n";
    for (const LogEntry& entry : host.logs) {
        out << "  [" << entry.facility << "," << entry.code << "] " << entry.text << "\n";
    }

    const std::vector<const HostJob*> jobs = host.CreatedJobs();
    if (jobs.empty()) {
        out << "\nNo replacement job was created.\n";
    }
    for (const HostJob* job : jobs) {
        out << "\nReplacement job (" << (job->closed ? "submitted" : "not submitted") << "):\n";
        out << "  MAIL FROM: " << job->sender << "\n";
        for (const std::string& recipient : job->recipients) {
            out << "  RCPT TO: " << recipient << "\n";
        }
        out << "  Message:\n";
        for (const std::string& line : job->lines) {
            out << line;
        }
    }

    const std::string leaks = host.Leaks();
    if (!leaks.empty()) {
        out << "\nLeft behind by the module: " << leaks << "\n";
    }
}
