// Judging a job; see job_outcome.h.
#include "runner/job_outcome.h"

#include "daemon/log_texts.h"

namespace {

constexpr const char* kOutcomeNames[kJobOutcomeCount] = {
    "rewritten", "unable", "turned-away", "no-header", "ordinary", "unexamined", "unreadable",
};

constexpr const char* kNullSender = "<>";
constexpr const char* kMessageIdPrefix = "Message-ID: ";

bool Logged(const ReferenceHost& host, const std::string& text) {
    for (const LogEntry& entry : host.logs) {
        if (entry.text == text) {
            return true;
        }
    }
    return false;
}

bool LoggedFoundHeader(const ReferenceHost& host) {
    const std::string prefix = kLogAutoreplyPrefix;
    for (const LogEntry& entry : host.logs) {
        if (entry.text.compare(0, prefix.size(), prefix) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

const char* OutcomeName(JobOutcome outcome) {
    return kOutcomeNames[static_cast<std::size_t>(outcome)];
}

// The outcome follows what the job was and what the module logged: a job
// whose sender is not "<>" is ordinary whatever happened, and a job with
// the null sender that the server could not copy for the module was never
// looked at, which is not the same as having no header.
JobOutcome JudgeJob(const ReferenceHost& host, const std::string& envelopeSender) {
    if (envelopeSender != kNullSender) {
        return JobOutcome::kOrdinary;
    }
    if (Logged(host, kLogModified)) {
        return JobOutcome::kRewritten;
    }
    if (Logged(host, kLogNotModified)) {
        return JobOutcome::kUnable;
    }
    if (LoggedFoundHeader(host)) {
        return JobOutcome::kTurnedAway;
    }
    return host.serverFailures.empty() ? JobOutcome::kNoHeader : JobOutcome::kUnexamined;
}

const HostJob* SubmittedReplacement(const ReferenceHost& host) {
    for (const HostJob* job : host.CreatedJobs()) {
        if (job->closed) {
            return job;
        }
    }
    return nullptr;
}

std::string NewMessageId(const HostJob& replacement) {
    const std::string prefix = kMessageIdPrefix;
    if (replacement.lines.empty() || replacement.lines[0].compare(0, prefix.size(), prefix) != 0) {
        return std::string();
    }
    std::string value = replacement.lines[0].substr(prefix.size());
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) {
        value.pop_back();
    }
    return value;
}
