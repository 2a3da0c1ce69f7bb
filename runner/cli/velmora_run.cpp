// velmora-run: runs mail jobs through the module inside our stand-in mail
// server and prints what happened: a full report for one message, one line
// per message for many.
#include "platform/system.h"
#include "runner/cli/run_options.h"
#include "runner/inputs/input_reader.h"
#include "runner/inputs/message_walk.h"
#include "runner/inputs/sample_autoreply.h"
#include "runner/job/exit_status.h"
#include "runner/job/replacement_file.h"
#include "runner/job/run_loop.h"
#include "runner/output/diagnostics.h"
#include "runner/output/lines_sink.h"
#include "runner/output/output_guard.h"
#include "runner/output/printable_text.h"
#include "runner/output/report_sink.h"
#include "runner/output/text_output.h"
#include "standin/module_loader.h"
#include "standin/private_temp_folder.h"
#include "standin/standin_server.h"
#include "standin/temp_files.h"

namespace {

// The report's first line when no PATH was given: a run of the sample must
// never pass for a run of the admin's mail.
constexpr const char* kSampleNotice =
    "No PATH given: the built-in sample out-of-office reply, not your mail.\n"
    "Name message files, mailboxes or folders, or - for standard input.\n\n";

// Standard error, for every message of the runner's own.
Diagnostics* g_diagnostics = nullptr;

// Says what went wrong; returns the status the run ends with.
ExitStatus Fail(ExitStatus status, const std::string& message) {
    g_diagnostics->Say(message);
    return status;
}

// Makes the folder for saved replacements, before any job runs: better no
// run than a run whose replacements cannot be kept.
ExitStatus PrepareSaveFolder(const RunOptions& options) {
    std::string reason;
    if (!options.saveFolder.empty() && !MakeFolder(options.saveFolder, &reason)) {
        return Fail(ExitStatus::kBadOutput,
                    "cannot make the folder " + options.saveFolder + ": " + reason);
    }
    return ExitStatus::kOk;
}

// Loads the module into a stand-in server set up as the options say and
// runs every message through it, telling `sink`.
ExitStatus LoadAndRun(const RunOptions& options, bool defaultModule, InputReader* inputs,
                      RunSink* sink) {
    LoadedModule module;
    std::string error;
    if (module.Load(options.modulePath, &error) != LoadOutcome::kLoaded) {
        if (defaultModule) {
            error += "; the module is looked for beside this program: name another with "
                     "--module PATH";
        }
        return Fail(ExitStatus::kBadModule, error);
    }
    HostSettings settings = options.server;
    settings.traceCalls = false; // the runner judges by the record, not the calls
    StandInServer server(settings);
    return RunMessages(module, &server, inputs, options.job, options.saveFolder, sink);
}

// The runner's version, and the module's: its version and its SHA-256, to
// be checked against the published checksums on the server itself. The
// module file is only read, never loaded: a tampered DLL that ran here
// could print any hash it liked, and a damaged one still gets its hash.
ExitStatus PrintVersion(const RunOptions& options, std::ostream& out) {
    out << kProgramName << " " << VELMORA_VERSION << "\n";
    std::string error;
    std::string hash;
    if (!FileSha256(options.modulePath, &hash, &error)) {
        out << std::flush;
        return Fail(ExitStatus::kBadModule, "cannot read " + options.modulePath + ": " + error);
    }
    const std::string version = ModuleFileVersion(options.modulePath);
    out << "module " << PrintableName(options.modulePath) << "\n"
        << "  version " << (version.empty() ? "(none in the file)" : PrintableName(version)) << "\n"
        << "  SHA-256 " << hash << "\n";
    return ExitStatus::kOk;
}

// With no PATH, an option's value that names an existing file or folder
// (--envelope-sender Saved, its address forgotten) is most likely the
// PATH, taken as that value: refused rather than run as the sample. A
// status other than kExitOk means nothing runs.
ExitStatus RefuseMistakenPath(const RunOptions& options) {
    if (!options.paths.empty()) {
        return ExitStatus::kOk;
    }
    for (const RunOptions::OptionValue& given : options.wordValues) {
        std::string ignored;
        const PathKind kind = InspectPath(given.value, &ignored);
        if (kind != PathKind::kFile && kind != PathKind::kFolder) {
            continue;
        }
        const char* what = kind == PathKind::kFolder ? "a folder" : "a file";
        return Fail(ExitStatus::kBadOption, "no PATH given, and " + given.value +
                                                ", the value of " + given.option + ", is " + what +
                                                ": if it is the mail to run, give " + given.option +
                                                " its own value before it");
    }
    return ExitStatus::kOk;
}

// Checks the outputs against the inputs (so that the report and saved
// replacements never lie where the walk goes) and that every named input
// is there, then opens the report file and runs, walking the folders as
// the jobs go.
ExitStatus RunWithOutput(const RunOptions& options, bool defaultModule) {
    const ExitStatus mistaken = RefuseMistakenPath(options);
    if (mistaken != ExitStatus::kOk) {
        return mistaken;
    }
    std::string error;
    if (!OutputsSpareInputs(options.paths, options.reportFile, options.saveFolder, &error)) {
        return Fail(ExitStatus::kBadOption, error);
    }
    MessageWalk walk(options.paths);
    if (!walk.Start(&error)) {
        return Fail(ExitStatus::kBadMessage, error);
    }
    const bool sample = options.paths.empty();
    InputReader inputs(sample ? nullptr : &walk, options.maxSize);
    const bool single = sample || (!options.lines && options.paths.size() == 1 &&
                                   inputs.IsSingleMessageFile(options.paths[0]));
    const ExitStatus prepared = PrepareSaveFolder(options);
    if (prepared != ExitStatus::kOk) {
        return prepared;
    }
    const std::string copiesNote = TempCopiesNote();
    if (!copiesNote.empty()) {
        g_diagnostics->Say(copiesNote);
    }
    OutputFile file = StandardOutput();
    std::string ignored;
    if (!options.reportFile.empty() &&
        InspectPath(options.reportFile, &ignored) == PathKind::kFolder) {
        return Fail(ExitStatus::kBadOutput, "cannot write " + options.reportFile +
                                                ": it is a folder; --report names a file");
    }
    if (!options.reportFile.empty() && !CreateReportFile(options.reportFile, &file, &error)) {
        return Fail(ExitStatus::kBadOutput, "cannot write " + options.reportFile + ": " + error);
    }
    TextOutput output(file, TextFilesUseCrlf());
    if (sample) {
        output.Stream() << kSampleNotice;
    }
    ReportSink report(&output.Stream(), g_diagnostics, sample ? "" : options.paths[0]);
    LinesSink lines(&output.Stream(), g_diagnostics, StandardOutputIsTerminal());
    RunSink* sink = single ? static_cast<RunSink*>(&report) : &lines;
    const ExitStatus status = LoadAndRun(options, defaultModule, &inputs, sink);
    output.Stream().flush();
    if (!output.Buffer().Close(&error)) {
        const std::string name =
            options.reportFile.empty() ? std::string("standard output") : options.reportFile;
        return Fail(ExitStatus::kBadOutput, "cannot write " + name + ": " + error);
    }
    return status;
}

// The whole run; its status as the process's exit code is main's.
ExitStatus Run(int argc, char** argv) {
    RunOptions options;
    std::string error;
    const ParseOutcome parsed = ParseRunOptions(ProgramArguments(argc, argv), &options, &error);
    if (parsed == ParseOutcome::kError) {
        return Fail(ExitStatus::kBadOption, error);
    }
    if (options.job.recipients.empty()) {
        options.job.recipients.push_back(kSampleRecipient);
    }
    const bool defaultModule = options.modulePath.empty();
    if (defaultModule && parsed != ParseOutcome::kHelp) {
        const std::string folder = ExecutableDirectory();
        if (folder.empty()) {
            return Fail(ExitStatus::kBadModule,
                        "cannot tell which folder this program is in; name the module with "
                        "--module PATH");
        }
        options.modulePath = folder + ModuleFileName();
    }
    if (parsed == ParseOutcome::kRun) {
        return RunWithOutput(options, defaultModule);
    }
    TextOutput out(StandardOutput(), TextFilesUseCrlf());
    const ExitStatus status = parsed == ParseOutcome::kHelp
                                  ? (out.Stream() << RunUsage(kProgramName), ExitStatus::kOk)
                                  : PrintVersion(options, out.Stream());
    out.Stream().flush();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    PinSystemLibraries();
    IgnoreBrokenPipes();
    // The stand-in's copies of users' mail go with the run, also when the
    // admin stops it.
    RemovePrivateTempFolderOnInterrupt();
    Diagnostics diagnostics;
    g_diagnostics = &diagnostics;
    return ExitCode(Run(argc, argv));
}
