// One message through the module; see run_message.h.
#include "runner/job/run_message.h"

#include "runner/job/replacement_file.h"

#include <new>
#include <utility>

namespace {

constexpr const char* kTooLargeReason = "too large to hold in memory";

// What the module left behind or did wrong in the server, one line each:
// the outcome stands, but an admin should hear of it.
void AddMisuse(const std::string& name, MessageRun* run) {
    for (const std::string& violation : run->record.violations) {
        run->problems.push_back(name + ": the module misused the server: " + violation);
    }
    if (!run->record.leftBehind.empty()) {
        run->problems.push_back(name + ": left behind by the module: " + run->record.leftBehind);
    }
}

// Saves the replacement, and says where or why not.
void Save(const MadeJob& replacement, const InputMessage& item, const std::string& saveFolder,
          MessageRun* run) {
    std::string written;
    std::string reason;
    if (SaveReplacement(saveFolder, SaveNameFor(item.path, item.number),
                        DeliveredReplacement(replacement.sender, replacement.text), &written,
                        &reason)) {
        run->savedTo = written;
        return;
    }
    run->saveFailed = true;
    run->problems.push_back("cannot save the replacement of " + item.name + ": " + reason);
}

// Hands the message to the module, ends the job and judges it by its
// record. Whatever happens, the job is ended here: what it holds (copies
// of the mail among it) goes now, not with the next job.
void RunAndJudge(const LoadedModule& module, StandInServer* server, const JobSettings& settings,
                 InputMessage* item, MessageRun* run) {
    std::string sender;
    try {
        sender = EnvelopeSenderFor(settings, &item->message.text, item->message.separatorSender);
        RunJob(module, server, settings, sender, std::move(item->message.text));
    } catch (const std::bad_alloc&) {
        run->record = server->EndJob();
        run->outcome = JobOutcome::kTooLarge;
        return;
    }
    run->record = server->EndJob();
    run->outcome = run->record.outOfMemory ? JobOutcome::kTooLarge : JudgeJob(run->record, sender);
}

} // namespace

MessageRun RunMessage(const LoadedModule& module, StandInServer* server,
                      const JobSettings& settings, InputMessage* item,
                      const std::string& saveFolder) {
    MessageRun run;
    if (item->kind == InputItemKind::kUnreadable) {
        run.problems.push_back("cannot read " + item->name + ": " + item->reason);
        return run;
    }
    if (item->kind == InputItemKind::kTooLarge) {
        run.outcome = JobOutcome::kTooLarge;
        run.problems.push_back(item->name + ": " + item->reason);
        return run;
    }
    if (item->kind == InputItemKind::kNotMail) {
        run.outcome = JobOutcome::kNotMail;
        run.problems.push_back(item->name + ": not mail: " + item->reason);
        return run;
    }
    RunAndJudge(module, server, settings, item, &run);
    if (run.outcome == JobOutcome::kTooLarge) {
        run.problems.push_back(item->name + ": " + kTooLargeReason);
        return run;
    }
    AddMisuse(item->name, &run);
    if (run.outcome == JobOutcome::kUnexamined && !run.record.serverFailures.empty()) {
        // The first failure; the others follow from it.
        run.problems.push_back(item->name + ": not examined: the stand-in server " +
                               run.record.serverFailures.front());
    }
    const MadeJob* replacement = run.record.Submitted();
    if (run.outcome == JobOutcome::kRewritten && replacement != nullptr) {
        run.newMessageId = NewMessageId(*replacement);
        if (!saveFolder.empty()) {
            Save(*replacement, *item, saveFolder, &run);
        }
    }
    return run;
}
