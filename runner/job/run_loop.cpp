// The run's loop; see run_loop.h.
#include "runner/job/run_loop.h"

#include "runner/job/run_message.h"

namespace {

// STARTUP's result is one byte; the register's upper bits mean nothing.
constexpr unsigned kStartupResultMask = 0xFFu;

} // namespace

ExitStatus RunMessages(const LoadedModule& module, StandInServer* server, InputReader* inputs,
                       const JobSettings& settings, const std::string& saveFolder, RunSink* sink) {
    const unsigned startupResult =
        static_cast<unsigned>(module.Startup()(server->Block(), nullptr, nullptr,
                                               settings.configuredSender.c_str())) &
        kStartupResultMask;
    const JobRecord startup = server->EndJob();
    if (startupResult == 0) {
        sink->Refused(startup);
        return ExitStatus::kStartupRefused;
    }
    sink->Started(startupResult, startup);

    RunTotals totals;
    InputMessage item;
    while (sink->WantsMore() && inputs->Next(&item)) {
        sink->Notes(item.notes);
        if (item.kind == InputItemKind::kNotesOnly) {
            continue;
        }
        const MessageRun run = RunMessage(module, server, settings, &item, saveFolder);
        ++totals.outcomes[static_cast<std::size_t>(run.outcome)];
        totals.saveFailed = totals.saveFailed || run.saveFailed;
        RunPosition at;
        at.messagesDone = totals.Messages();
        at.bytesRead = inputs->BytesRead();
        at.mailboxSize = inputs->InMailbox() ? inputs->Size() : 0;
        sink->Took(item.name, run, at);
    }
    return Graver(sink->Finished(totals), totals.Status());
}

std::size_t RunTotals::Messages() const {
    std::size_t all = 0;
    for (std::size_t count : outcomes) {
        all += count;
    }
    return all;
}

std::size_t RunTotals::Count(JobOutcome outcome) const {
    return outcomes[static_cast<std::size_t>(outcome)];
}

ExitStatus RunTotals::Status() const {
    ExitStatus status = saveFailed ? ExitStatus::kBadOutput : ExitStatus::kOk;
    for (std::size_t i = 0; i < kJobOutcomeCount; ++i) {
        if (outcomes[i] != 0) {
            status = Graver(status, OutcomeStatus(static_cast<JobOutcome>(i)));
        }
    }
    return status;
}
