// Command line of the runner.
#ifndef VELMORA_TOOLS_RUN_OPTIONS_H
#define VELMORA_TOOLS_RUN_OPTIONS_H

#include <string>
#include <vector>

struct RunOptions {
    std::string modulePath;  // empty: the module next to the runner
    std::string messageFile; // empty: the bundled sample autoreply
    std::string envelopeSender = "<>";
    std::vector<std::string> recipients; // empty: the sample's recipient
    std::string configuredSender = "autoreply@example.org";
    std::string domain = "mail.example.org";
    unsigned majorVersion = 2;
    unsigned minorVersion = 20;
    std::string outputFile; // empty: standard output
};

enum class ParseOutcome { kRun, kHelp, kError };

// Reads the arguments into `options`. On kError, `error` holds a one-line
// message for standard error.
ParseOutcome ParseRunOptions(int argc, const char* const* argv, RunOptions* options,
                             std::string* error);

// The text printed for --help.
std::string RunUsage(const std::string& program);

#endif
