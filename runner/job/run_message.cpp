// One message through the module; see run_message.h.
#include "runner/job/run_message.h"

#include "runner/output/printable_text.h"
#include "runner/output/replacement_file.h"

#include <new>
#include <utility>

namespace {

constexpr const char* kTooLargeReason = "too large to hold in memory";

// What the module left behind or did wrong in the host, one line each:
// the outcome stands, but an admin should hear of it.
void AddMisuse(const ReferenceHost& host, const std::string& name, MessageRun* run) {
    for (const std::string& violation : host.violations) {
        run->problems.push_back(name +
                                ": the module misused the server: " + PrintableName(violation));
    }
    const std::string leaks = host.Leaks();
    if (!leaks.empty()) {
        run->problems.push_back(name + ": left behind by the module: " + PrintableName(leaks));
    }
}

// Saves the replacement, and says where or why not.
void Save(const HostJob& replacement, const InputMessage& item, const std::string& saveFolder,
          MessageRun* run) {
    std::string written;
    std::string reason;
    if (SaveReplacement(saveFolder, item.saveName,
                        DeliveredReplacement(replacement.sender, replacement.text), &written,
                        &reason)) {
        run->savedTo = written;
        return;
    }
    run->saveFailed = true;
    run->problems.push_back("cannot save the replacement of " + item.name + ": " +
                            PrintableName(reason));
}

// Hands the message to the module and judges the job. False when the
// message, or the server's work on it, did not fit in memory.
bool RunAndJudge(const LoadedModule& module, ReferenceHost* host, const JobSettings& settings,
                 InputMessage* item, MessageRun* run) {
    try {
        const std::string sender =
            EnvelopeSenderFor(settings, &item->message.text, item->message.separatorSender);
        run->daemonResult = RunJob(module, host, settings, sender, std::move(item->message.text));
        run->daemonCalled = true;
        run->outcome = host->outOfMemory ? JobOutcome::kTooLarge : JudgeJob(*host, sender);
    } catch (const std::bad_alloc&) {
        run->outcome = JobOutcome::kTooLarge;
    }
    return run->outcome != JobOutcome::kTooLarge;
}

} // namespace

MessageRun RunMessage(const LoadedModule& module, ReferenceHost* host, const JobSettings& settings,
                      InputMessage* item, const std::string& saveFolder) {
    MessageRun run;
    if (item->kind == InputItemKind::kUnreadable) {
        run.problems.push_back("cannot read " + item->name + ": " + PrintableName(item->reason));
        return run;
    }
    if (item->kind == InputItemKind::kTooLarge) {
        run.outcome = JobOutcome::kTooLarge;
        run.problems.push_back(item->name + ": " + PrintableName(item->reason));
        return run;
    }
    if (item->kind == InputItemKind::kNotMail) {
        run.outcome = JobOutcome::kNotMail;
        run.problems.push_back(item->name + ": not mail: " + PrintableName(item->reason));
        return run;
    }
    if (!RunAndJudge(module, host, settings, item, &run)) {
        run.problems.push_back(item->name + ": " + kTooLargeReason);
        host->ForgetHistory(); // what the job holds goes now, not with the next
        return run;
    }
    AddMisuse(*host, item->name, &run);
    if (run.outcome == JobOutcome::kUnexamined && !host->serverFailures.empty()) {
        // The first failure; the others follow from it.
        run.problems.push_back(item->name + ": not examined: the stand-in server " +
                               PrintableName(host->serverFailures.front()));
    }
    const HostJob* replacement = SubmittedReplacement(*host);
    if (run.outcome == JobOutcome::kRewritten && replacement != nullptr) {
        run.newMessageId = NewMessageId(*replacement);
        if (!saveFolder.empty()) {
            Save(*replacement, *item, saveFolder, &run);
        }
    }
    return run;
}
