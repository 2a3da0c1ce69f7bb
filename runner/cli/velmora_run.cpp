// velmora-run: runs mail jobs through the module inside our stand-in mail
// server and prints what happened: a full report for one message, one line
// per message for many.
#include "platform/system.h"
#include "runner/cli/run_options.h"
#include "runner/inputs/input_reader.h"
#include "runner/inputs/message_walk.h"
#include "runner/inputs/sample_autoreply.h"
#include "runner/job/run_loop.h"
#include "runner/job/run_message.h"
#include "runner/output/output_guard.h"
#include "runner/output/printable_text.h"
#include "runner/output/progress_meter.h"
#include "runner/output/replacement_file.h"
#include "runner/output/run_report.h"
#include "runner/output/text_output.h"
#include "standin/module_loader.h"
#include "standin/private_temp_folder.h"
#include "standin/reference_host.h"
#include "standin/temp_files.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStartupRefused = 1;
constexpr int kExitBadOption = 2;
constexpr int kExitBadMessage = 3;
constexpr int kExitBadModule = 4;
constexpr int kExitBadOutput = 5;
constexpr int kExitUnexamined = 6;

constexpr const char* kProgramName = "velmora-run";
constexpr const char* kSampleName = "sample.eml";
// The report's first line when no PATH was given: a run of the sample must
// never pass for a run of the admin's mail.
constexpr const char* kSampleNotice =
    "No PATH given: the built-in sample out-of-office reply, not your mail.\n"
    "Name message files, mailboxes or folders, or - for standard input.\n\n";

// STARTUP's result is one byte; the register's upper bits mean nothing.
constexpr unsigned kStartupResultMask = 0xFFu;

// Standard error, for every message of the runner's own.
std::ostream* g_errors = nullptr;

// Says something on standard error. Names and reasons in `message` come
// from the command line, the file system and the mail: shown, never
// obeyed by the terminal.
void Tell(const std::string& message) {
    *g_errors << kProgramName << ": " << PrintableName(message) << "\n" << std::flush;
}

// Says what went wrong; returns the status the run ends with.
int Fail(int status, const std::string& message) {
    Tell(message);
    return status;
}

// Lines already printable (notes, a message's problems) for standard error.
void Say(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        *g_errors << kProgramName << ": " << line << "\n";
    }
    *g_errors << std::flush;
}

// Makes the folder for saved replacements, before any job runs: better no
// run than a run whose replacements cannot be kept.
int PrepareSaveFolder(const RunOptions& options) {
    std::string reason;
    if (!options.saveFolder.empty() && !MakeFolder(options.saveFolder, &reason)) {
        return Fail(kExitBadOutput, "cannot make the folder " + options.saveFolder + ": " + reason);
    }
    return kExitOk;
}

// The stand-in server with the module loaded and started in it.
struct StartedRun {
    explicit StartedRun(const RunOptions& options)
        : host(static_cast<unsigned char>(options.majorVersion),
               static_cast<unsigned char>(options.minorVersion)) {
        host.recordCalls = false; // the runner judges by the log, not the calls
    }
    ReferenceHost host;
    LoadedModule module;
    unsigned startupResult = 0;
};

// Loads the module and calls STARTUP, as the server does once. A status
// other than kExitOk means nothing may run.
int LoadAndStart(const RunOptions& options, bool defaultModule, StartedRun* run) {
    std::string error;
    if (run->module.Load(options.modulePath, &error) != LoadOutcome::kLoaded) {
        if (defaultModule) {
            error += "; the module is looked for beside this program: name another with "
                     "--module PATH";
        }
        return Fail(kExitBadModule, error);
    }
    run->host.faults.domain = options.domain;
    run->startupResult = run->module.Startup()(run->host.Block(), nullptr, nullptr,
                                               options.job.configuredSender.c_str()) &
                         kStartupResultMask;
    return kExitOk;
}

// The one message of a single run: the file's, or the bundled sample.
bool TakeSingleMessage(InputReader* inputs, InputMessage* item) {
    if (inputs == nullptr) {
        item->name = kSampleName;
        item->saveName = kSampleName;
        item->message.text = kSampleAutoreply;
        return true;
    }
    while (inputs->Next(item)) {
        Say(item->notes);
        if (item->kind != InputItemKind::kNotesOnly) {
            return true;
        }
    }
    return false;
}

// The status a single run ends with, after the report.
int SingleRunStatus(const MessageRun& run, std::ostream& out) {
    Say(run.problems);
    if (run.saveFailed) {
        return kExitBadOutput;
    }
    if (!run.savedTo.empty()) {
        out << "\nReplacement saved to " << PrintableName(run.savedTo) << "\n";
    }
    const bool examined =
        run.outcome != JobOutcome::kUnexamined && run.outcome != JobOutcome::kTooLarge;
    return examined ? kExitOk : kExitUnexamined;
}

// The full report on one message (or the sample).
int RunSingle(const RunOptions& options, bool defaultModule, InputReader* inputs,
              std::ostream& out) {
    if (inputs == nullptr) {
        out << kSampleNotice;
    }
    InputMessage item;
    if (!TakeSingleMessage(inputs, &item)) {
        return Fail(kExitBadMessage, "no message in " + options.paths[0]);
    }
    if (item.kind == InputItemKind::kUnreadable) {
        return Fail(kExitBadMessage,
                    "cannot read message file " + options.paths[0] + ": " + item.reason);
    }
    StartedRun started(options);
    const int loaded = LoadAndStart(options, defaultModule, &started);
    if (loaded != kExitOk) {
        return loaded;
    }
    if (started.startupResult == 0) {
        WriteRunReport(out, started.host, started.startupResult, nullptr);
        return kExitStartupRefused;
    }
    const MessageRun run =
        RunMessage(started.module, &started.host, options.job, &item, options.saveFolder);
    WriteRunReport(out, started.host, started.startupResult, &run);
    const int status = SingleRunStatus(run, out);
    started.host.ForgetHistory(); // what the job left goes before the module
    return status;
}

// One line per message, then the summary.
int RunList(const RunOptions& options, bool defaultModule, InputReader* inputs, std::ostream& out) {
    StartedRun started(options);
    const int loaded = LoadAndStart(options, defaultModule, &started);
    if (loaded != kExitOk) {
        return loaded;
    }
    if (started.startupResult == 0) {
        for (const LogEntry& entry : started.host.logs) {
            Tell("the module logged: " + entry.text);
        }
        return Fail(kExitStartupRefused, "the module refused to start; no message was run");
    }

    // The walk goes on as the jobs run: how many messages there are is not
    // known beforehand.
    ProgressMeter progress(StandardErrorIsTerminal() ? stderr : nullptr, 0);
    const ListRunOutput output{&out, g_errors, &progress, StandardOutputIsTerminal()};
    const ListRunTotals totals = RunMessageList(started.module, &started.host, inputs, options.job,
                                                options.saveFolder, output);
    WriteListSummary(out, totals);
    if (totals.saveFailed) {
        return kExitBadOutput;
    }
    if (totals.Count(JobOutcome::kUnreadable) != 0) {
        return kExitBadMessage;
    }
    const bool allExamined =
        totals.Count(JobOutcome::kUnexamined) == 0 && totals.Count(JobOutcome::kTooLarge) == 0;
    return allExamined ? kExitOk : kExitUnexamined;
}

// The runner's version, and the module's: its version and its SHA-256, to
// be checked against the published checksums on the server itself. The
// module file is only read, never loaded: a tampered DLL that ran here
// could print any hash it liked, and a damaged one still gets its hash.
int PrintVersion(const RunOptions& options, std::ostream& out) {
    out << kProgramName << " " << VELMORA_VERSION << "\n";
    std::string error;
    std::string hash;
    if (!FileSha256(options.modulePath, &hash, &error)) {
        out << std::flush;
        return Fail(kExitBadModule, "cannot read " + options.modulePath + ": " + error);
    }
    const std::string version = ModuleFileVersion(options.modulePath);
    out << "module " << PrintableName(options.modulePath) << "\n"
        << "  version " << (version.empty() ? "(none in the file)" : PrintableName(version)) << "\n"
        << "  SHA-256 " << hash << "\n";
    return kExitOk;
}

// With no PATH, an option's value that names an existing file or folder
// (--envelope-sender Saved, its address forgotten) is most likely the
// PATH, taken as that value: refused rather than run as the sample. A
// status other than kExitOk means nothing runs.
int RefuseMistakenPath(const RunOptions& options) {
    if (!options.paths.empty()) {
        return kExitOk;
    }
    for (const RunOptions::OptionValue& given : options.wordValues) {
        std::string ignored;
        const PathKind kind = InspectPath(given.value, &ignored);
        if (kind != PathKind::kFile && kind != PathKind::kFolder) {
            continue;
        }
        const char* what = kind == PathKind::kFolder ? "a folder" : "a file";
        return Fail(kExitBadOption, "no PATH given, and " + given.value + ", the value of " +
                                        given.option + ", is " + what +
                                        ": if it is the mail to run, give " + given.option +
                                        " its own value before it");
    }
    return kExitOk;
}

// Checks the outputs against the inputs (so that the report and saved
// replacements never lie where the walk goes) and that every named input
// is there, then opens the report file and runs, walking the folders as
// the jobs go.
int RunWithOutput(const RunOptions& options, bool defaultModule) {
    const int mistaken = RefuseMistakenPath(options);
    if (mistaken != kExitOk) {
        return mistaken;
    }
    std::string error;
    if (!OutputsSpareInputs(options.paths, options.reportFile, options.saveFolder, &error)) {
        return Fail(kExitBadOption, error);
    }
    MessageWalk walk(options.paths);
    if (!walk.Start(&error)) {
        return Fail(kExitBadMessage, error);
    }
    std::unique_ptr<InputReader> inputs;
    if (!options.paths.empty()) {
        inputs = std::make_unique<InputReader>(&walk, options.maxSize);
    }
    const bool single = inputs == nullptr || (!options.lines && options.paths.size() == 1 &&
                                              inputs->IsSingleMessageFile(options.paths[0]));
    const int prepared = PrepareSaveFolder(options);
    if (prepared != kExitOk) {
        return prepared;
    }
    const std::string copiesNote = TempCopiesNote();
    if (!copiesNote.empty()) {
        Tell(copiesNote);
    }
    OutputFile file = StandardOutput();
    std::string ignored;
    if (!options.reportFile.empty() &&
        InspectPath(options.reportFile, &ignored) == PathKind::kFolder) {
        return Fail(kExitBadOutput, "cannot write " + options.reportFile +
                                        ": it is a folder; --report names a file");
    }
    if (!options.reportFile.empty() && !CreateReportFile(options.reportFile, &file, &error)) {
        return Fail(kExitBadOutput, "cannot write " + options.reportFile + ": " + error);
    }
    TextOutput output(file, TextFilesUseCrlf());
    const int status = single ? RunSingle(options, defaultModule, inputs.get(), output.Stream())
                              : RunList(options, defaultModule, inputs.get(), output.Stream());
    output.Stream().flush();
    if (!output.Buffer().Close(&error)) {
        const std::string name =
            options.reportFile.empty() ? std::string("standard output") : options.reportFile;
        return Fail(kExitBadOutput, "cannot write " + name + ": " + error);
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    PinSystemLibraries();
    IgnoreBrokenPipes();
    // The stand-in's copies of users' mail go with the run, also when the
    // admin stops it.
    RemovePrivateTempFolderOnInterrupt();
    TextOutput errors(StandardError(), TextFilesUseCrlf());
    errors.Stream().setf(std::ios::unitbuf);
    g_errors = &errors.Stream();

    RunOptions options;
    std::string error;
    const ParseOutcome parsed = ParseRunOptions(ProgramArguments(argc, argv), &options, &error);
    if (parsed == ParseOutcome::kError) {
        return Fail(kExitBadOption, error);
    }
    if (options.job.recipients.empty()) {
        options.job.recipients.push_back(kSampleRecipient);
    }
    const bool defaultModule = options.modulePath.empty();
    if (defaultModule && parsed != ParseOutcome::kHelp) {
        const std::string folder = ExecutableDirectory();
        if (folder.empty()) {
            return Fail(kExitBadModule, "cannot tell which folder this program is in; name the "
                                        "module with --module PATH");
        }
        options.modulePath = folder + ModuleFileName();
    }
    if (parsed == ParseOutcome::kRun) {
        return RunWithOutput(options, defaultModule);
    }
    TextOutput out(StandardOutput(), TextFilesUseCrlf());
    const int status = parsed == ParseOutcome::kHelp
                           ? (out.Stream() << RunUsage(kProgramName), kExitOk)
                           : PrintVersion(options, out.Stream());
    out.Stream().flush();
    return status;
}
