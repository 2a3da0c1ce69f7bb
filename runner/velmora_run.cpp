// velmora-run: runs mail jobs through the module inside our reference host
// and prints what happened: a full report for one message, one line per
// message for many.
#include "runner/job_outcome.h"
#include "runner/job_run.h"
#include "runner/list_run.h"
#include "runner/message_list.h"
#include "runner/message_stream.h"
#include "runner/output_guard.h"
#include "runner/printable_text.h"
#include "runner/progress_meter.h"
#include "runner/replacement_file.h"
#include "runner/run_options.h"
#include "runner/run_report.h"
#include "runner/runner_platform.h"
#include "runner/sample_autoreply.h"
#include "runner/text_output.h"
#include "standin/module_loader.h"
#include "standin/private_temp_folder.h"
#include "standin/reference_host.h"

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

// STARTUP's result is one byte; the register's upper bits mean nothing.
constexpr unsigned kStartupResultMask = 0xFFu;

// Standard error, for every message of the runner's own.
std::ostream* g_errors = nullptr;

// Says what went wrong on standard error. Names and reasons in `message`
// come from the command line, the file system and the mail: shown, never
// obeyed by the terminal.
int Fail(int status, const std::string& message) {
    *g_errors << kProgramName << ": " << PrintableName(message) << "\n" << std::flush;
    return status;
}

// The inputs of a run, listed and checked before anything is written.
struct Inputs {
    std::vector<MessageSource> sources;
    std::unique_ptr<MessageStream> first; // sources[0], when opened to look
    bool wantsReport = false;             // one message file: the full report
};

// Lists the inputs and decides between the report and the lines: one
// message file (not a mailbox, not a folder) gets the full report, unless
// --lines asks for lines. A status other than kExitOk means nothing runs.
int ListInputs(const RunOptions& options, Inputs* inputs) {
    if (options.paths.empty()) {
        inputs->wantsReport = true;
        return kExitOk;
    }
    std::vector<std::string> notes;
    std::string error;
    if (!ListMessages(options.paths, &inputs->sources, &notes, &error)) {
        return Fail(kExitBadMessage, error);
    }
    for (const std::string& note : notes) {
        *g_errors << kProgramName << ": " << PrintableName(note) << "\n";
    }
    const bool oneFile = options.paths.size() == 1 && inputs->sources.size() == 1 &&
                         inputs->sources[0].path == options.paths[0] &&
                         inputs->sources[0].unreadable.empty();
    if (!oneFile || options.lines) {
        return kExitOk;
    }
    std::string reason;
    auto stream = std::make_unique<MessageStream>();
    if (!stream->Open(options.paths[0], &reason)) {
        return Fail(kExitBadMessage,
                    "cannot read message file " + options.paths[0] + ": " + reason);
    }
    inputs->wantsReport = !stream->IsMailbox();
    inputs->first = std::move(stream);
    return kExitOk;
}

// Makes the folder for saved replacements, before any job runs: better no
// run than a run whose replacements cannot be kept.
int PrepareOutFolder(const RunOptions& options) {
    std::string reason;
    if (!options.outFolder.empty() && !MakeFolder(options.outFolder, &reason)) {
        return Fail(kExitBadOutput, "cannot make the folder " + options.outFolder + ": " + reason);
    }
    return kExitOk;
}

// The stand-in server with the module loaded and started in it.
struct StartedRun {
    explicit StartedRun(const RunOptions& options)
        : host(static_cast<unsigned char>(options.majorVersion),
               static_cast<unsigned char>(options.minorVersion)) {}
    ReferenceHost host;
    LoadedModule module;
    unsigned startupResult = 0;
};

// Loads the module and calls STARTUP, as the server does once. A status
// other than kExitOk means nothing may run.
int LoadAndStart(const RunOptions& options, StartedRun* run) {
    std::string error;
    if (run->module.Load(options.modulePath, &error) != LoadOutcome::kLoaded) {
        return Fail(kExitBadModule, error);
    }
    run->host.faults.domain = options.domain;
    run->startupResult = run->module.Startup()(run->host.Block(), nullptr, nullptr,
                                               options.job.configuredSender.c_str()) &
                         kStartupResultMask;
    return kExitOk;
}

// Saves the replacement of a single run, if there is one, and says where.
int SaveSingleReplacement(const RunOptions& options, const ReferenceHost& host,
                          const std::string& saveName, std::ostream& out) {
    const HostJob* replacement = SubmittedReplacement(host);
    if (options.outFolder.empty() || replacement == nullptr) {
        return kExitOk;
    }
    std::string written;
    std::string reason;
    if (!SaveReplacement(options.outFolder, saveName, JobMessageText(*replacement), &written,
                         &reason)) {
        return Fail(kExitBadOutput, "cannot save the replacement: " + reason);
    }
    out << "\nReplacement saved to " << written << "\n";
    return kExitOk;
}

// The full report on one message (or the sample).
int RunSingle(const RunOptions& options, Inputs* inputs, std::ostream& out) {
    StreamedMessage message{kSampleAutoreply, std::string()};
    std::string saveName = kSampleName;
    if (inputs->first != nullptr) {
        const std::string& path = options.paths[0];
        std::string reason;
        if (!inputs->first->Next(&message, &reason) && !reason.empty()) {
            return Fail(kExitBadMessage, "cannot read message file " + path + ": " + reason);
        }
        saveName = SaveNameFor(path, 0);
    }
    StartedRun run(options);
    const int started = LoadAndStart(options, &run);
    if (started != kExitOk) {
        return started;
    }
    const bool ready = run.startupResult != 0;
    std::int32_t result = 0;
    const std::string sender = EnvelopeSenderFor(options.job, message.text, std::string());
    if (ready) {
        result = RunJob(run.module, &run.host, options.job, sender, message.text);
    }
    WriteRunReport(out, run.host, run.startupResult, ready, result);
    if (!ready) {
        return kExitStartupRefused;
    }
    if (JudgeJob(run.host, sender) == JobOutcome::kUnexamined) {
        return Fail(kExitUnexamined,
                    "not examined: the stand-in server " + run.host.serverFailures.front());
    }
    return SaveSingleReplacement(options, run.host, saveName, out);
}

// One line per message, then the summary.
int RunList(const RunOptions& options, Inputs* inputs, std::ostream& out) {
    StartedRun run(options);
    const int started = LoadAndStart(options, &run);
    if (started != kExitOk) {
        return started;
    }
    if (run.startupResult == 0) {
        for (const LogEntry& entry : run.host.logs) {
            *g_errors << kProgramName << ": the module logged: " << entry.text << "\n";
        }
        return Fail(kExitStartupRefused, "the module refused to start; no message was run");
    }

    ProgressMeter progress(StandardErrorIsTerminal() ? stderr : nullptr, inputs->sources.size());
    const ListRunOutput output{&out, g_errors, &progress, StandardOutputIsTerminal()};
    const ListRunTotals totals =
        RunMessageList(run.module, &run.host, inputs->sources, options.job, options.outFolder,
                       output, std::move(inputs->first));
    WriteListSummary(out, totals);
    if (totals.saveFailed) {
        return kExitBadOutput;
    }
    if (totals.outcomes[static_cast<std::size_t>(JobOutcome::kUnreadable)] != 0) {
        return kExitBadMessage;
    }
    const bool allExamined =
        totals.outcomes[static_cast<std::size_t>(JobOutcome::kUnexamined)] == 0;
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
        << "  version " << (version.empty() ? "(none in the file)" : version) << "\n"
        << "  SHA-256 " << hash << "\n";
    return kExitOk;
}

// Checks the outputs against the inputs, lists the inputs, and only then
// opens the report file, so that it is never listed itself; then runs.
int RunWithOutput(const RunOptions& options) {
    std::string error;
    if (!OutputsSpareInputs(options.paths, options.outputFile, options.outFolder, &error)) {
        return Fail(kExitBadOption, error);
    }
    Inputs inputs;
    const int listed = ListInputs(options, &inputs);
    if (listed != kExitOk) {
        return listed;
    }
    const int prepared = PrepareOutFolder(options);
    if (prepared != kExitOk) {
        return prepared;
    }
    OutputFile file = StandardOutput();
    if (!options.outputFile.empty() && !CreateReportFile(options.outputFile, &file, &error)) {
        return Fail(kExitBadOutput, "cannot write " + options.outputFile + ": " + error);
    }
    TextOutput output(file, TextFilesUseCrlf());
    const int status = inputs.wantsReport ? RunSingle(options, &inputs, output.Stream())
                                          : RunList(options, &inputs, output.Stream());
    output.Stream().flush();
    if (!output.Buffer().Close(&error)) {
        const std::string name =
            options.outputFile.empty() ? std::string("standard output") : options.outputFile;
        return Fail(kExitBadOutput, "cannot write " + name + ": " + error);
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
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
    if (options.modulePath.empty()) {
        const std::string folder = ExecutableDirectory();
        if (folder.empty()) {
            return Fail(kExitBadModule, "cannot tell which folder this program is in; name the "
                                        "module with --module PATH");
        }
        options.modulePath = folder + ModuleFileName();
    }
    if (parsed == ParseOutcome::kRun) {
        return RunWithOutput(options);
    }
    TextOutput out(StandardOutput(), TextFilesUseCrlf());
    const int status = parsed == ParseOutcome::kHelp
                           ? (out.Stream() << RunUsage(kProgramName), kExitOk)
                           : PrintVersion(options, out.Stream());
    out.Stream().flush();
    return status;
}
