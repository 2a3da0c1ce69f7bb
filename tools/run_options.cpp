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

// Options without a value; false for any other name.
bool TakeFlag(const std::string& arg, RunOptions* options) {
    if (arg == "--use-return-path") { // the default now; kept for old scripts
        options->job.senderFromMessage = true;
        return true;
    }
    if (arg == "--no-return-path") {
        options->job.senderFromMessage = false;
        return true;
    }
    if (arg == "--lines") {
        options->lines = true;
        return true;
    }
    return false;
}

// Options with a value: the name, what to do with the value (false if it
// is not good) and what a good value looks like.
struct ValueOption {
    const char* name;
    bool (*take)(const std::string& value, RunOptions* options);
    const char* wants;
};

const ValueOption kValueOptions[] = {
    {"--module",
     [](const std::string& value, RunOptions* options) {
         options->modulePath = value;
         return true;
     },
     ""},
    {"--envelope-sender",
     [](const std::string& value, RunOptions* options) {
         options->job.envelopeSender = value;
         return true;
     },
     ""},
    {"--rcpt",
     [](const std::string& value, RunOptions* options) {
         options->job.recipients.push_back(value);
         return true;
     },
     ""},
    {"--sender",
     [](const std::string& value, RunOptions* options) {
         options->job.configuredSender = value;
         return true;
     },
     ""},
    {"--domain",
     [](const std::string& value, RunOptions* options) {
         options->domain = value;
         return true;
     },
     ""},
    {"--host-version", &ParseVersion, "MAJOR.MINOR with numbers from 0 to 255"},
    {"--output",
     [](const std::string& value, RunOptions* options) {
         options->outputFile = value;
         return true;
     },
     ""},
    {"--out",
     [](const std::string& value, RunOptions* options) {
         options->outFolder = value;
         return true;
     },
     ""},
};

const ValueOption* FindValueOption(const std::string& arg) {
    for (const ValueOption& option : kValueOptions) {
        if (arg == option.name) {
            return &option;
        }
    }
    return nullptr;
}

} // namespace

ParseOutcome ParseRunOptions(const std::vector<std::string>& args, RunOptions* options,
                             std::string* error) {
    bool pathsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (pathsOnly || arg.empty() || arg[0] != '-' || arg == "-") {
            options->paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            pathsOnly = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            return ParseOutcome::kHelp;
        }
        if (arg == "--version") {
            return ParseOutcome::kVersion;
        }
        if (TakeFlag(arg, options)) {
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const ValueOption* option = FindValueOption(name);
        if (option == nullptr) {
            *error = "unknown option " + arg + " (see --help)";
            return ParseOutcome::kError;
        }
        if (equals == std::string::npos && i + 1 >= args.size()) {
            *error = "option " + arg + " needs a value";
            return ParseOutcome::kError;
        }
        const std::string value = equals != std::string::npos ? arg.substr(equals + 1) : args[++i];
        if (!option->take(value, options)) {
            *error = name + " wants " + option->wants + ", got " + value;
            return ParseOutcome::kError;
        }
    }
    return ParseOutcome::kRun;
}

std::string RunUsage(const std::string& program) {
    return "Usage: " + program +
           " [options] [PATH...]\n"
           "\n"
           "Loads the Velmora module into a stand-in mail server, starts it once\n"
           "and passes it one mail job per message, as your server would. Nothing\n"
           "is sent: this is a dry run.\n"
           "\n"
           "With no PATH, or one message file, it prints what the module logged,\n"
           "what it returned and the replacement job it submitted. Without a PATH\n"
           "a bundled sample out-of-office reply is used.\n"
           "\n"
           "With a folder or more than one PATH, it prints one line per message:\n"
           "the path, a tab, the outcome and, for a rewritten message, a tab and\n"
           "the new Message-ID. Outcomes: rewritten, unable (the module could not\n"
           "re-send it), turned-away (X-Autoreply-From found, the address tests\n"
           "said no), no-header, ordinary (sender not <>), unreadable. A last line\n"
           "starting with # counts each outcome. Folders are walked recursively\n"
           "in name order; hidden files, a Maildir's tmp/ and links to folders are\n"
           "skipped. On a terminal, standard error shows the progress.\n"
           "\n"
           "  PATH                    a message file (RFC 5322, LF or CRLF line\n"
           "                          ends) or a folder of them, such as a Maildir\n"
           "                          or a folder of .eml files\n"
           "  --module PATH           module file to load (default: the module\n"
           "                          next to this program)\n"
           "  --envelope-sender ADDR  each job's envelope sender (default: <>)\n"
           "  --use-return-path       take each job's envelope sender from the\n"
           "                          message's Return-Path: header where it has\n"
           "                          one, as your server received it\n"
           "  --rcpt ADDR             a recipient of each job; repeat for more\n"
           "                          (default: alice@example.net)\n"
           "  --sender ADDR           the configured sender, the daemon's\n"
           "                          parameter (default: autoreply@example.org)\n"
           "  --domain NAME           the server's domain, used in Message-IDs\n"
           "                          (default: mail.example.org)\n"
           "  --host-version M.N      version the server reports (default: 2.20)\n"
           "  --out FOLDER            save each submitted replacement as a message\n"
           "                          file in FOLDER, named after its source; an\n"
           "                          existing file is never replaced\n"
           "  --output FILE           write the report or the lines to FILE, not\n"
           "                          to standard output\n"
           "  --                      every argument after this is a PATH\n"
           "  --help                  show this text\n"
           "\n"
           "Exit status: 0 every job ran; 1 the module refused to start; 2 bad\n"
           "option; 3 a PATH does not exist (nothing ran) or a message could not\n"
           "be read (the others ran); 4 module cannot be loaded or lacks an entry\n"
           "point; 5 the report, the lines or a replacement cannot be written.\n";
}
