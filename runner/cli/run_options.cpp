// Command line of the runner; see run_options.h.
#include "runner/cli/run_options.h"

#include "platform/system.h"
#include "runner/inputs/sample_autoreply.h"
#include "runner/job/exit_status.h"
#include "runner/job/job_outcome.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// One option: its name, the name of its value (null for an option without
// one), its lines in --help, and what it does with the value. `take` is
// false when the value is not good; `wants` then says what a good one is.
struct RunOption {
    const char* name;
    const char* valueName;
    const char* help;
    bool (*take)(const std::string& value, RunOptions* options);
    const char* wants;
    // An empty value is a setting of its own (a server without a domain),
    // not a slip.
    bool takesEmpty = false;
};

constexpr unsigned kMaxVersionByte = 255;
constexpr int kDecimalBase = 10;
constexpr std::size_t kHelpColumn = 26; // where an option's help starts
constexpr std::size_t kOutcomeColumn = 15;
constexpr std::size_t kHelpWidth = 76; // columns of --help text
constexpr const char* kHelpIndent = "  ";
// The value names of options whose value is a file or folder.
constexpr const char* kPathValueNames[] = {"PATH", "FILE", "FOLDER"};

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
bool TakeHostVersion(const std::string& text, RunOptions* options) {
    const std::size_t dot = text.find('.');
    unsigned major = 0;
    unsigned minor = 0;
    if (dot == std::string::npos || !ParseVersionByte(text.substr(0, dot), &major) ||
        !ParseVersionByte(text.substr(dot + 1), &minor)) {
        return false;
    }
    options->server.majorVersion = static_cast<unsigned char>(major);
    options->server.minorVersion = static_cast<unsigned char>(minor);
    return true;
}

// Takes --domain; an empty one is a server without a domain setting.
bool TakeDomain(const std::string& text, RunOptions* options) {
    options->server.domain = text;
    return true;
}

// The setters the table is made of: a text, a text more in a list, a flag.
template <std::string RunOptions::*field> bool SetText(const std::string& value, RunOptions* o) {
    o->*field = value;
    return true;
}

template <std::string JobSettings::*field>
bool SetJobText(const std::string& value, RunOptions* o) {
    o->job.*field = value;
    return true;
}

template <std::vector<std::string> JobSettings::*field>
bool AddJobText(const std::string& value, RunOptions* o) {
    (o->job.*field).push_back(value);
    return true;
}

// Parses --max-size.
bool TakeMaxSize(const std::string& text, RunOptions* options) {
    return ParseMessageSize(text, &options->maxSize);
}

template <bool RunOptions::*field> bool SetFlag(const std::string& /*value*/, RunOptions* o) {
    o->*field = true;
    return true;
}

template <bool JobSettings::*field> bool ClearJobFlag(const std::string& /*value*/, RunOptions* o) {
    o->job.*field = false;
    return true;
}

// --max-size's help, with the default from where it is defined.
const std::string kMaxSizeHelp =
    "the largest message that is read and handed to the module, in bytes or with K, M or G "
    "for KiB, MiB or GiB (1500K); a larger one is too-large and is not read (default: " +
    MessageSizeText(kDefaultMaxMessageSize) + ")";

// The helps that show a default, each from where the default is defined.
const std::string kEnvelopeSenderHelp =
    "the envelope sender of jobs whose message names none (default: " +
    JobSettings().envelopeSender + ")";
const std::string kRcptHelp =
    "a recipient of each job; repeat for more (default: " + std::string(kSampleRecipient) + ")";
const std::string kSenderHelp =
    "the configured sender, the daemon's parameter (default: " + JobSettings().configuredSender +
    ")";
const std::string kDomainHelp =
    "the server's domain, used in Message-IDs (default: " + HostSettings().domain +
    "; \"\" for a server without one)";
const std::string kHostVersionHelp =
    "version the server reports (default: " + std::to_string(HostSettings().majorVersion) + "." +
    std::to_string(HostSettings().minorVersion) + ")";

const std::vector<RunOption> kOptions = {
    {"--module", "PATH", "module file to load (default: the module next to this program)",
     &SetText<&RunOptions::modulePath>, ""},
    {"--envelope-sender", "ADDR", kEnvelopeSenderHelp.c_str(),
     &SetJobText<&JobSettings::envelopeSender>, ""},
    {"--no-return-path", nullptr,
     "every job gets --envelope-sender; by default a message's topmost Return-Path: gives its "
     "sender, else its mailbox separator (MAILER-DAEMON is <>; a sender that is no address, as in "
     "From - or From ???@???, gives none). That Return-Path: is the delivering server's trace, "
     "not part of the message it queued: the job's message leaves it out, and so does any "
     "replacement",
     &ClearJobFlag<&JobSettings::senderFromMessage>, ""},
    {"--rcpt", "ADDR", kRcptHelp.c_str(), &AddJobText<&JobSettings::recipients>, ""},
    {"--sender", "ADDR", kSenderHelp.c_str(), &SetJobText<&JobSettings::configuredSender>, ""},
    {"--domain", "NAME", kDomainHelp.c_str(), &TakeDomain, "", true},
    {"--host-version", "M.N", kHostVersionHelp.c_str(), &TakeHostVersion,
     "MAJOR.MINOR with numbers from 0 to 255"},
    {"--save-to", "FOLDER",
     "save each submitted replacement as a message file in FOLDER (made with its parents, for you "
     "alone), named after its source (NAME-N.eml for a mailbox's); an existing file is never "
     "replaced; refused when FOLDER is in a Maildir or a folder that holds an input, or when a "
     "folder or link on the way belongs to another user or a folder on it may be written by "
     "others and is not sticky",
     &SetText<&RunOptions::saveFolder>, ""},
    {"--report", "FILE",
     "write the report or the lines to FILE, not to standard output; refused when FILE is an input "
     "or lies in a folder that is read, when the way to it fails the rule of --save-to, or when "
     "a file there is not yours alone (another user's, or with a second name)",
     &SetText<&RunOptions::reportFile>, ""},
    {"--max-size", "SIZE", kMaxSizeHelp.c_str(), &TakeMaxSize,
     "a size of at least 1 byte, in bytes or with K, M or G (64M)"},
    {"--lines", nullptr, "one line per message also for one file", &SetFlag<&RunOptions::lines>,
     ""},
    {"--version", nullptr,
     "show this program's version and the module file's version and SHA-256, read from the file "
     "without loading it",
     &SetFlag<&RunOptions::version>, ""},
    {"--help", nullptr, "show this text", &SetFlag<&RunOptions::help>, ""},
};

// Whether the option's value names a file or folder (its --help name
// says so).
bool IsPathValue(const RunOption& option) {
    for (const char* pathName : kPathValueNames) {
        if (std::strcmp(option.valueName, pathName) == 0) {
            return true;
        }
    }
    return false;
}

const RunOption* FindOption(const std::string& name) {
    for (const RunOption& option : kOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

// What a finished line asks for: help above all, then the version.
ParseOutcome Asked(const RunOptions& options) {
    if (options.help) {
        return ParseOutcome::kHelp;
    }
    return options.version ? ParseOutcome::kVersion : ParseOutcome::kRun;
}

// An error in the line, unless help was asked for: then the help is what
// the user gets.
ParseOutcome Refused(const RunOptions& options, std::string* error) {
    if (options.help) {
        error->clear();
        return ParseOutcome::kHelp;
    }
    return ParseOutcome::kError;
}

// Appends `text` from `column` on, words wrapped before kHelpWidth, its
// further lines indented as far. `used` columns of the line are taken; a
// lead as wide as the column gets the text on the next line.
void AppendWrapped(std::string* out, std::size_t used, std::size_t column,
                   const std::string& text) {
    std::size_t at = used;
    if (used > 0 && at >= column) {
        *out += '\n';
        at = 0;
    }
    *out += std::string(column - at, ' ');
    at = column;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        end = end == std::string::npos ? text.size() : end;
        const std::size_t length = end - start;
        if (at > column && at + 1 + length > kHelpWidth) {
            *out += '\n' + std::string(column, ' ');
            at = column;
        } else if (at > column) {
            *out += ' ';
            ++at;
        }
        *out += text.substr(start, length);
        at += length;
        start = end + 1;
    }
    *out += '\n';
}

std::string OptionLines() {
    std::string lines;
    const std::string pathLead = std::string(kHelpIndent) + "PATH";
    lines += pathLead;
    AppendWrapped(&lines, pathLead.size(), kHelpColumn,
                  "a message file (.eml, or a Mac mail client's .emlx: the message its first "
                  "line counts), a mailbox file (mbox or MMDF; each message is named PATH#N), a "
                  "folder of them, such as a Maildir, or - for standard input");
    for (const RunOption& option : kOptions) {
        std::string lead = std::string(kHelpIndent) + option.name;
        if (option.valueName != nullptr) {
            lead += std::string(" ") + option.valueName;
        }
        lines += lead;
        AppendWrapped(&lines, lead.size(), kHelpColumn, option.help);
    }
    return lines;
}

// The exit statuses, in the order of their codes, as one paragraph.
std::string ExitStatusLines() {
    std::string text = "Exit status:";
    for (int code = 0;; ++code) {
        bool found = false;
        for (std::size_t i = 0; i < kExitStatusCount; ++i) {
            const auto status = static_cast<ExitStatus>(i);
            if (ExitCode(status) == code) {
                text += (code == 0 ? " " : "; ") + std::to_string(code) + " " + ExitMeaning(status);
                found = true;
            }
        }
        if (!found) {
            break;
        }
    }
    std::string lines;
    AppendWrapped(&lines, 0, 0, text + ".");
    return lines;
}

std::string OutcomeLines() {
    std::string lines;
    for (std::size_t i = 0; i < kJobOutcomeCount; ++i) {
        const auto outcome = static_cast<JobOutcome>(i);
        const std::string lead = std::string(kHelpIndent) + OutcomeName(outcome);
        lines += lead;
        AppendWrapped(&lines, lead.size(), kOutcomeColumn, OutcomeMeaning(outcome));
    }
    return lines;
}

} // namespace

ParseOutcome ParseRunOptions(const std::vector<std::string>& args, RunOptions* options,
                             std::string* error) {
    bool pathsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!pathsOnly && SystemHelpOption() != nullptr && arg == SystemHelpOption()) {
            options->help = true;
            continue;
        }
        if (pathsOnly || arg.empty() || arg[0] != '-' || arg == "-") {
            options->paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            pathsOnly = true;
            continue;
        }
        if (arg == "-h") {
            options->help = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const RunOption* option = FindOption(name);
        if (option == nullptr || (option->valueName == nullptr && equals != std::string::npos)) {
            *error = "unknown option " + arg + " (see --help)";
            return Refused(*options, error);
        }
        std::string value;
        if (option->valueName != nullptr) {
            if (equals == std::string::npos && i + 1 >= args.size()) {
                *error = "option " + arg + " needs a value";
                return Refused(*options, error);
            }
            value = equals != std::string::npos ? arg.substr(equals + 1) : args[++i];
            // An empty value is a slip (an unset shell variable, "--save-to="),
            // never a choice: taken, it would quietly turn the option off.
            // Only where empty is a setting of its own is it taken.
            if (value.empty() && !option->takesEmpty) {
                *error = "option " + name + " needs a value, got an empty one";
                return Refused(*options, error);
            }
            if (!IsPathValue(*option)) {
                options->wordValues.push_back(RunOptions::OptionValue{name, value});
            }
        }
        if (!option->take(value, options)) {
            *error = name + " wants " + option->wants + ", got " + value;
            return Refused(*options, error);
        }
    }
    return Asked(*options);
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
           "what it returned, the outcome and the replacement job it submitted.\n"
           "Without a PATH it runs a bundled sample out-of-office reply, and the\n"
           "report's first line says so. Standard input is read only when named\n"
           "as -, never because mail is piped in: velmora-run - < message.eml.\n"
           "\n"
           "With a folder, a mailbox, more than one PATH or --lines, it prints one\n"
           "line per message: the name, a tab, the outcome and, for a rewritten\n"
           "message, a tab and the new Message-ID. Outcomes:\n" +
           OutcomeLines() +
           "A last line starting with # counts each outcome. Folders are walked\n"
           "in name order as the jobs run. Only mail is read: of a Maildir only\n"
           "cur/ and new/ (and its Maildir++ folders such as .Sent); names\n"
           "starting with a dot, hidden files, links of any kind and the files\n"
           "mail programs keep beside mail (indexes, .msf and .plist files, nmh's\n"
           "context, Thumbs.db) are skipped, and said so on standard error. A\n"
           "file reached by several names runs once. Run as root, a file in a\n"
           "folder is read only when the folder's owner owns it too, or the\n"
           "folder is root's. A file is mail when its first line, past a\n"
           "byte-order mark and blank lines, is a header field (Name: value) or\n"
           "a mailbox separator; any other file, compressed ones too (gzip,\n"
           "bzip2, xz, zstd, lzip: unpack them first), is not-mail, with the\n"
           "reason on standard error. On a terminal, standard error shows the\n"
           "progress.\n"
           "\n" +
           OptionLines() +
           "  --                      every argument after this is a PATH\n"
           "An option's value may also follow it after '=': --save-to=FOLDER. An\n"
           "empty value is refused. With no PATH, an ADDR, NAME or M.N value that\n"
           "names a file or folder is refused: it is most likely the PATH, taken\n"
           "as the option's value (--envelope-sender Saved).\n"
           "\n" +
           ExitStatusLines();
}
