// velmora-run: runs one mail job through the module inside our reference
// host and prints what happened.
#include "testhost/module_loader.h"
#include "testhost/reference_host.h"
#include "testhost/temp_files.h"
#include "tools/run_options.h"
#include "tools/run_report.h"
#include "tools/sample_autoreply.h"

#include <fstream>
#include <iostream>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStartupRefused = 1;
constexpr int kExitBadOption = 2;
constexpr int kExitBadMessageFile = 3;
constexpr int kExitBadModule = 4;
constexpr int kExitBadOutput = 5;

constexpr const char* kProgramName = "velmora-run";

// STARTUP's result is one byte; the register's upper bits mean nothing.
constexpr unsigned kStartupResultMask = 0xFFu;

int Fail(int status, const std::string& message) {
    std::cerr << kProgramName << ": " << message << "\n";
    return status;
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

    std::string message = kSampleAutoreply;
    if (!options.messageFile.empty() && !ReadWholeFile(options.messageFile, &message)) {
        return Fail(kExitBadMessageFile, "cannot read message file " + options.messageFile);
    }
    if (options.recipients.empty()) {
        options.recipients.push_back(kSampleRecipient);
    }
    if (options.modulePath.empty()) {
        options.modulePath = ExecutableDirectory() + ModuleFileName();
    }

    LoadedModule module;
    if (module.Load(options.modulePath, &error) != LoadOutcome::kLoaded) {
        return Fail(kExitBadModule, error);
    }

    ReferenceHost host(static_cast<unsigned char>(options.majorVersion),
                       static_cast<unsigned char>(options.minorVersion));
    host.faults.domain = options.domain;
    JobHandle job = host.AddIncomingJob(options.envelopeSender, options.recipients, message);

    const unsigned started =
        module.Startup()(host.Block(), nullptr, nullptr, options.configuredSender.c_str()) &
        kStartupResultMask;
    const bool ready = started != 0;
    std::int32_t result = 0;
    if (ready) {
        result = module.Daemon()(job, host.Block(), nullptr, options.configuredSender.c_str());
    }

    if (options.outputFile.empty()) {
        WriteRunReport(std::cout, host, started, ready, result);
    } else {
        std::ofstream out(options.outputFile, std::ios::binary | std::ios::trunc);
        WriteRunReport(out, host, started, ready, result);
        if (!out) {
            return Fail(kExitBadOutput, "cannot write " + options.outputFile);
        }
    }
    return ready ? kExitOk : kExitStartupRefused;
}
