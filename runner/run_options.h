// Command line of the runner.
#ifndef VELMORA_RUNNER_RUN_OPTIONS_H
#define VELMORA_RUNNER_RUN_OPTIONS_H

#include "runner/job_run.h"

#include <string>
#include <vector>

struct RunOptions {
    std::string modulePath;         // empty: the module next to the runner
    std::vector<std::string> paths; // message files and folders; none: the sample
    JobSettings job;                // recipients empty: the sample's recipient
    std::string domain = "mail.example.org";
    unsigned majorVersion = 2;
    unsigned minorVersion = 20;
    std::string outputFile; // empty: standard output
    std::string outFolder;  // empty: replacements are not saved
    bool lines = false;     // one line per message, also for a single file
};

enum class ParseOutcome { kRun, kHelp, kVersion, kError };

// Reads the arguments (without the program's name) into `options`. An
// argument starting with "-" is an option wherever it stands; "-" alone is
// standard input; after "--" every argument is a path. A value follows its
// option as the next argument or after "=" ("--out=DIR"). On kError,
// `error` holds a one-line message for standard error.
ParseOutcome ParseRunOptions(const std::vector<std::string>& args, RunOptions* options,
                             std::string* error);

// The text printed for --help.
std::string RunUsage(const std::string& program);

#endif
