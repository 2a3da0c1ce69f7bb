// What one job did in the stand-in server: what the module logged and
// returned, the jobs it made, what it did wrong, and what failed in the
// server itself. The server hands it over when the job ends (EndJob) and
// keeps nothing of the job; whoever runs jobs judges them from this alone.
#ifndef VELMORA_STANDIN_JOB_RECORD_H
#define VELMORA_STANDIN_JOB_RECORD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LogEntry {
    std::int32_t facility;
    std::int32_t code;
    std::string text;
};

// A job the module made, as the server kept it.
struct MadeJob {
    std::string sender;                  // envelope sender (MAIL FROM)
    std::vector<std::string> recipients; // in order
    std::string text;                    // the module's writes, one after another
    bool closed = false; // handed back with HostCloseJob: submitted, whatever the answer
};

struct JobRecord {
    bool daemonCalled = false;
    std::int32_t daemonResult = 0;
    std::vector<LogEntry> logs;    // in order
    std::vector<MadeJob> madeJobs; // in order
    // Misuse of a service by the module, one line each.
    std::vector<std::string> violations;
    // What the module left behind: jobs not released, message files not
    // closed, temporary files still on disk. Empty when clean.
    std::string leftBehind;
    // What failed in the server itself (not a fault it was told to show),
    // such as a temporary copy it could not write, with the reason.
    std::vector<std::string> serverFailures;
    // A service could not get the memory it needed and answered as failed.
    bool outOfMemory = false;
    // DAEMON's results on the submitted jobs passed through it again.
    std::vector<std::int32_t> fedBackResults;

    // The first job the module closed (submitted), or null when there is
    // none.
    const MadeJob* Submitted() const;
};

#endif
