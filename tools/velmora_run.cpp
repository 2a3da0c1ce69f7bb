// velmora-run: runs mail jobs through the module inside our reference host
// and prints what happened: a full report for one message, one line per
// message for many.
#include "testhost/module_loader.h"
#include "testhost/reference_host.h"
#include "tools/job_outcome.h"
#include "tools/job_run.h"
#include "tools/list_run.h"
#include "tools/message_file.h"
#include "tools/message_list.h"
#include "tools/progress_meter.h"
#include "tools/replacement_file.h"
#include "tools/run_options.h"
#include "tools/run_report.h"
#include "tools/runner_platform.h"
#include "tools/sample_autoreply.h"

#include <cstdio>
#include <fstream>
#include <iostream>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStartupRefused = 1;
constexpr int kExitBadOption = 2;
constexpr int kExitBadMessage = 3;
constexpr int kExitBadModule = 4;
constexpr int kExitBadOutput = 5;

constexpr const char* kProgramName = "velmora-run";

// STARTUP's result is one byte; the register's upper bits mean nothing.
constexpr unsigned kStartupResultMask = 0xFFu;

int Fail(int status, const std::string& message) {
    std::cerr << kProgramName << ": " << message << "\n";
    return status;
}

// One message (or the sample) gets the full report, as an admin trying
// the module on a message wants; a folder or several paths get lines.
bool WantsReport(const RunOptions& options) {
    if (options.paths.empty()) {
        return true;
    }
    std::string reason;
    return options.paths.size() == 1 && InspectPath(options.paths[0], &reason) != PathKind::kFolder;
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

// Makes the --out folder, loads the module and calls STARTUP, as the
// server does once. A status other than kExitOk means nothing may run.
int PrepareAndStart(const RunOptions& options, StartedRun* run) {
    const int prepared = PrepareOutFolder(options);
    if (prepared != kExitOk) {
        return prepared;
    }
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
                          const std::string& sourcePath, std::ostream& out) {
    const TestJob* replacement = SubmittedReplacement(host);
    if (options.outFolder.empty() || replacement == nullptr) {
        return kExitOk;
    }
    std::string written;
    std::string reason;
    if (!SaveReplacement(options.outFolder, sourcePath, JobMessageText(*replacement), &written,
                         &reason)) {
        return Fail(kExitBadOutput, "cannot save the replacement: " + reason);
    }
    out << "\nReplacement saved to " << written << "\n";
    return kExitOk;
}

// The full report on one message.
int RunSingle(const RunOptions& options, std::ostream& out) {
    std::string message = kSampleAutoreply;
    std::string sourcePath = "sample.eml";
    std::string reason;
    if (!options.paths.empty()) {
        sourcePath = options.paths[0];
        if (!ReadMessageFile(sourcePath, &message, &reason)) {
            return Fail(kExitBadMessage, "cannot read message file " + sourcePath + ": " + reason);
        }
    }
    StartedRun run(options);
    const int started = PrepareAndStart(options, &run);
    if (started != kExitOk) {
        return started;
    }
    const bool ready = run.startupResult != 0;
    std::int32_t result = 0;
    if (ready) {
        result = RunJob(run.module, &run.host, options.job, message);
    }
    WriteRunReport(out, run.host, run.startupResult, ready, result);
    if (!ready) {
        return kExitStartupRefused;
    }
    return SaveSingleReplacement(options, run.host, sourcePath, out);
}

// One line per message, then the summary.
int RunList(const RunOptions& options, std::ostream& out) {
    std::vector<MessageSource> messages;
    std::vector<std::string> notes;
    std::string error;
    if (!ListMessages(options.paths, &messages, &notes, &error)) {
        return Fail(kExitBadMessage, error);
    }
    for (const std::string& note : notes) {
        std::cerr << kProgramName << ": " << note << "\n";
    }
    StartedRun run(options);
    const int started = PrepareAndStart(options, &run);
    if (started != kExitOk) {
        return started;
    }
    if (run.startupResult == 0) {
        for (const LogEntry& entry : run.host.logs) {
            std::cerr << kProgramName << ": the module logged: " << entry.text << "\n";
        }
        return Fail(kExitStartupRefused, "the module refused to start; no message was run");
    }

    ProgressMeter progress(StandardErrorIsTerminal() ? stderr : nullptr, messages.size());
    const ListRunTotals totals = RunMessageList(run.module, &run.host, messages, options.job,
                                                options.outFolder, out, std::cerr, &progress);
    WriteListSummary(out, totals);
    if (totals.saveFailed) {
        return kExitBadOutput;
    }
    const bool allRead = totals.outcomes[static_cast<std::size_t>(JobOutcome::kUnreadable)] == 0;
    return allRead ? kExitOk : kExitBadMessage;
}

} // namespace

int main(int argc, char** argv) {
    RunOptions options;
    std::string error;
    switch (ParseRunOptions(argc, argv, &options, &error)) {
    case ParseOutcome::kHelp:
        std::cout << RunUsage(kProgramName);
        return kExitOk;
    case ParseOutcome::kError:
        return Fail(kExitBadOption, error);
    case ParseOutcome::kRun:
        break;
    }
    if (options.job.recipients.empty()) {
        options.job.recipients.push_back(kSampleRecipient);
    }
    if (options.modulePath.empty()) {
        options.modulePath = ExecutableDirectory() + ModuleFileName();
    }

    std::ofstream file;
    if (!options.outputFile.empty()) {
        file.open(options.outputFile, std::ios::binary | std::ios::trunc);
        if (!file) {
            return Fail(kExitBadOutput, "cannot write " + options.outputFile);
        }
    }
    std::ostream& out = options.outputFile.empty() ? std::cout : file;
    const int status = WantsReport(options) ? RunSingle(options, out) : RunList(options, out);
    out.flush();
    if (!out) {
        return Fail(kExitBadOutput,
                    "cannot write " +
                        (options.outputFile.empty() ? "standard output" : options.outputFile));
    }
    return status;
}
