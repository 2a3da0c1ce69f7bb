// Command line of the runner: one table of options, from which both the
// parsing and --help are made.
#ifndef VELMORA_RUNNER_CLI_RUN_OPTIONS_H
#define VELMORA_RUNNER_CLI_RUN_OPTIONS_H

#include "runner/job/server_job.h"
#include "runner/mailbox/message_size.h"
#include "standin/host_settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RunOptions {
    std::string modulePath;                         // empty: the module next to the runner
    std::vector<std::string> paths;                 // message files and folders; none: the sample
    JobSettings job;                                // recipients empty: the sample's recipient
    HostSettings server;                            // the stand-in server's domain and version
    std::string reportFile;                         // empty: standard output
    std::string saveFolder;                         // empty: replacements are not saved
    std::uint64_t maxSize = kDefaultMaxMessageSize; // bytes of the largest message read
    bool lines = false;                             // one line per message, also for a single file
    bool help = false;
    bool version = false;
    // The values given to options that take no file or folder (ADDR,
    // NAME), in order: with no PATH, one naming an existing file is a PATH
    // taken as an option's value by mistake.
    struct OptionValue {
        std::string option;
        std::string value;
    };
    std::vector<OptionValue> wordValues;
};

enum class ParseOutcome { kRun, kHelp, kVersion, kError };

// Reads the arguments (without the program's name) into `options`. An
// argument starting with "-" is an option wherever it stands; "-" alone is
// standard input; after "--" every argument is a path. A value follows its
// option as the next argument or after "=" ("--save-to=DIR"), and is never
// empty. --help (and
// "/?" on Windows) wins over everything, --version over running. On kError,
// `error` holds a one-line message for standard error.
ParseOutcome ParseRunOptions(const std::vector<std::string>& args, RunOptions* options,
                             std::string* error);

// The text printed for --help.
std::string RunUsage(const std::string& program);

#endif
