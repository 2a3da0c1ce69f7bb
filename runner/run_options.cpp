// Command line of the runner; see run_options.h.
#include "runner/run_options.h"

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

// An error in the line, unless --help was asked for: then the help is
// what the user gets.
ParseOutcome Refused(ParseOutcome sofar, std::string* error) {
    if (sofar == ParseOutcome::kHelp) {
        error->clear();
        return sofar;
    }
    return ParseOutcome::kError;
}

} // namespace

ParseOutcome ParseRunOptions(const std::vector<std::string>& args, RunOptions* options,
                             std::string* error) {
    bool pathsOnly = false;
    // --help and --version take effect after the whole line is read, so
    // that "--version --module PATH" checks that module.
    ParseOutcome outcome = ParseOutcome::kRun;
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
            outcome = ParseOutcome::kHelp;
            continue;
        }
        if (arg == "--version") {
            outcome = outcome == ParseOutcome::kHelp ? outcome : ParseOutcome::kVersion;
            continue;
        }
        if (TakeFlag(arg, options)) {
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const ValueOption* option = FindValueOption(name);
        if (option == nullptr) {
            *error = "unknown option " + arg + " (see --help)";
            return Refused(outcome, error);
        }
        if (equals == std::string::npos && i + 1 >= args.size()) {
            *error = "option " + arg + " needs a value";
            return Refused(outcome, error);
        }
        const std::string value = equals != std::string::npos ? arg.substr(equals + 1) : args[++i];
        if (!option->take(value, options)) {
            *error = name + " wants " + option->wants + ", got " + value;
            return Refused(outcome, error);
        }
    }
    return outcome;
}

std::string RunUsage(const std::string& program) {
    return "Usage: " + program +
           " [options] [PATH...]\n"
           "\n"
           "Loads the Velmora module into a stand-in mail server, starts it once\n"
           "and passes it one mail job per message, as your server would. Nothing\n"
           "is sent: this is a dry run. Nothing it writes ever replaces what it\n"
           "reads.\n"
           "\n"
           "With no PATH, or one message file, it prints what the module logged,\n"
           "what it returned and the replacement job it submitted. Without a PATH\n"
           "a bundled sample out-of-office reply is used.\n"
           "\n"
           "With a folder, a mailbox, more than one PATH or --lines, it prints one\n"
           "line per message: the name, a tab, the outcome and, for a rewritten\n"
           "message, a tab and the new Message-ID. Outcomes:\n"
           "  rewritten    re-sent under the configured sender\n"
           "  unable       an automatic reply the module could not re-send\n"
           "  turned-away  X-Autoreply-From found, the address tests said no\n"
           "  no-header    sender <>, but no usable X-Autoreply-From header\n"
           "  ordinary     the job's envelope sender is not <>\n"
           "  unexamined   sender <>, but the stand-in server could not make the\n"
           "               copy the module reads (the reason is on standard error)\n"
           "  unreadable   the file could not be read\n"
           "A last line starting with # counts each outcome. Folders are walked\n"
           "recursively in name order; names starting with a dot, hidden files, a\n"
           "Maildir's tmp/ and links to folders are skipped, and said so on\n"
           "standard error; a Maildir's own dot-folders that are Maildirs\n"
           "(Maildir++: .Sent, .Archive) are walked. On a terminal, standard error\n"
           "shows the progress.\n"
           "\n"
           "  PATH                    a message file (LF or CR LF line ends), a\n"
           "                          mailbox file (mbox: its first line starts\n"
           "                          with \"From \"; each message is named\n"
           "                          PATH#N), a folder of them, such as a Maildir,\n"
           "                          or - for standard input\n"
           "  --module PATH           module file to load (default: the module\n"
           "                          next to this program)\n"
           "  --envelope-sender ADDR  the envelope sender of jobs whose message\n"
           "                          names none (default: <>)\n"
           "  --no-return-path        every job gets --envelope-sender; by default\n"
           "                          a message's Return-Path: gives its sender,\n"
           "                          else its mailbox separator (MAILER-DAEMON is\n"
           "                          <>); --use-return-path, the default, is kept\n"
           "  --rcpt ADDR             a recipient of each job; repeat for more\n"
           "                          (default: alice@example.net)\n"
           "  --sender ADDR           the configured sender, the daemon's\n"
           "                          parameter (default: autoreply@example.org)\n"
           "  --domain NAME           the server's domain, used in Message-IDs\n"
           "                          (default: mail.example.org)\n"
           "  --host-version M.N      version the server reports (default: 2.20)\n"
           "  --out FOLDER            save each submitted replacement as a message\n"
           "                          file in FOLDER, named after its source\n"
           "                          (NAME-N.eml for a mailbox's); an existing\n"
           "                          file is never replaced\n"
           "  --output FILE           write the report or the lines to FILE, not\n"
           "                          to standard output; refused when FILE is an\n"
           "                          input or lies in a folder that is read\n"
           "  --lines                 one line per message also for one file\n"
           "  --version               show this program's version and the\n"
           "                          module's version and SHA-256\n"
           "  --                      every argument after this is a PATH\n"
           "  --help                  show this text\n"
           "An option's value may also follow it after '=': --out=FOLDER.\n"
           "\n"
           "Exit status: 0 every job ran; 1 the module refused to start; 2 bad\n"
           "option, or an output that would write over an input (nothing ran);\n"
           "3 a PATH does not exist (nothing ran) or a message could not be read\n"
           "(the others ran); 4 module cannot be loaded or lacks an entry point;\n"
           "5 the report, the lines or a replacement cannot be written; 6 a\n"
           "message could not be examined (the others ran).\n";
}
