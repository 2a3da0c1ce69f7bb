// One message as a mail job; see server_job.h.
#include "runner/job/server_job.h"

#include "daemon/log_texts.h"
#include "runner/job/return_path.h"

#include <utility>

namespace {

constexpr const char* kMessageIdPrefix = "Message-ID: ";

bool Logged(const JobRecord& record, const std::string& text) {
    for (const LogEntry& entry : record.logs) {
        if (entry.text == text) {
            return true;
        }
    }
    return false;
}

bool LoggedFoundHeader(const JobRecord& record) {
    const std::string prefix = kLogAutoreplyPrefix;
    for (const LogEntry& entry : record.logs) {
        if (entry.text.compare(0, prefix.size(), prefix) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string EnvelopeSenderFor(const JobSettings& settings, std::string* message,
                              const std::string& separatorSender) {
    if (!settings.senderFromMessage) {
        return settings.envelopeSender;
    }
    return TakeReturnPath(message,
                          separatorSender.empty() ? settings.envelopeSender : separatorSender);
}

void RunJob(const LoadedModule& module, StandInServer* server, const JobSettings& settings,
            const std::string& envelopeSender, std::string message) {
    const JobHandle job =
        server->AddIncomingJob(envelopeSender, settings.recipients, std::move(message));
    server->RunDaemon(module.Daemon(), job, settings.configuredSender.c_str());
}

JobOutcome JudgeJob(const JobRecord& record, const std::string& envelopeSender) {
    if (envelopeSender != host_contract::kNullReversePath) {
        return JobOutcome::kOrdinary;
    }
    if (Logged(record, kLogModified)) {
        return JobOutcome::kRewritten;
    }
    if (Logged(record, kLogNotModified)) {
        return JobOutcome::kUnable;
    }
    if (LoggedFoundHeader(record)) {
        return JobOutcome::kTurnedAway;
    }
    return record.serverFailures.empty() ? JobOutcome::kNoHeader : JobOutcome::kUnexamined;
}

std::string NewMessageId(const MadeJob& replacement) {
    const std::string& text = replacement.text;
    const std::string prefix = kMessageIdPrefix;
    if (text.compare(0, prefix.size(), prefix) != 0) {
        return std::string();
    }
    const std::size_t feed = text.find('\n');
    std::string value = text.substr(
        prefix.size(), (feed == std::string::npos ? text.size() : feed) - prefix.size());
    while (!value.empty() && value.back() == '\r') {
        value.pop_back();
    }
    return value;
}
