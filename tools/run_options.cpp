// Command line of the runner; see run_options.h.
#include "tools/run_options.h"

#include <cerrno>
#include <cstdlib>

namespace {

constexpr unsigned kMaxVersionByte = 255;
constexpr int kDecimalBase = 10;

// Parses a version byte; false unless the text is a number from 0 to 255.
bool ParseVersionByte(const std::string& text, unsigned* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    const unsigned long number = std::strtoul(text.c_str(), nullptr, kDecimalBase);
    if (errno != 0 || number > kMaxVersionByte) {
        return false;
    }
    *value = static_cast<unsigned>(number);
    return true;
}

// Parses "MAJOR.MINOR".
bool ParseVersion(const std::string& text, RunOptions* options) {
    const std::size_t dot = text.find('.');
    return dot != std::string::npos &&
           ParseVersionByte(text.substr(0, dot), &options->majorVersion) &&
           ParseVersionByte(text.substr(dot + 1), &options->minorVersion);
}

} // namespace

ParseOutcome ParseRunOptions(int argc, const char* const* argv, RunOptions* options,
                             std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return ParseOutcome::kHelp;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!options->messageFile.empty()) {
                *error = "more than one message file given: " + arg;
                return ParseOutcome::kError;
            }
            options->messageFile = arg;
            continue;
        }
        if (i + 1 >= argc) {
            *error = "option " + arg + " needs a value";
            return ParseOutcome::kError;
        }
        const std::string value = argv[++i];
        if (arg == "--module") {
            options->modulePath = value;
        } else if (arg == "--envelope-sender") {
            options->envelopeSender = value;
        } else if (arg == "--rcpt") {
            options->recipients.push_back(value);
        } else if (arg == "--sender") {
            options->configuredSender = value;
        } else if (arg == "--domain") {
            options->domain = value;
        } else if (arg == "--host-version") {
            if (!ParseVersion(value, options)) {
                *error =
                    "--host-version wants MAJOR.MINOR with numbers from 0 to 255, got " + value;
                return ParseOutcome::kError;
            }
        } else if (arg == "--output") {
            options->outputFile = value;
        } else {
            *error = "unknown option " + arg + " (see --help)";
            return ParseOutcome::kError;
        }
    }
    return ParseOutcome::kRun;
}

std::string RunUsage(const std::string& program) {
    return "Usage: " + program +
           " [options] [MESSAGE-FILE]\n"
           "\n"
           "Loads the Velmora module into a stand-in mail server, starts it and\n"
           "passes it one mail job, then prints what the module logged, what it\n"
           "returned and the replacement job it submitted.\n"
           "\n"
           "  MESSAGE-FILE            the job's message (RFC 5322, LF or CRLF line\n"
           "                          ends); without it a bundled sample\n"
           "                          out-of-office reply is used\n"
           "  --module PATH           module file to load (default: the module\n"
           "                          next to this program)\n"
           "  --envelope-sender ADDR  the job's envelope sender (default: <>)\n"
           "  --rcpt ADDR             a recipient of the job; repeat for more\n"
           "                          (default: alice@example.net)\n"
           "  --sender ADDR           the configured sender, the daemon's\n"
           "                          parameter (default: autoreply@example.org)\n"
           "  --domain NAME           the server's domain, used in Message-IDs\n"
           "                          (default: mail.example.org)\n"
           "  --host-version M.N      version the server reports (default: 2.20)\n"
           "  --output FILE           write the report to FILE, not to standard\n"
           "                          output\n"
           "  --help                  show this text\n"
           "\n"
           "Exit status: 0 the job ran; 1 the module refused to start; 2 bad\n"
           "option; 3 message file missing or unreadable; 4 module cannot be\n"
           "loaded or lacks an entry point; 5 report cannot be written.\n";
}
