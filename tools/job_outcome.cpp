// Judging a job; see job_outcome.h.
#include "tools/job_outcome.h"

#include "daemon/log_texts.h"

namespace {

constexpr const char* kOutcomeNames[kJobOutcomeCount] = {
    "rewritten", "unable", "turned-away", "no-header", "ordinary", "unreadable",
};

// The module looks for the header only in jobs with the null sender.
constexpr const char* kHeaderLookup = "HostFindHeader";
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

bool LookedForHeader(const ReferenceHost& host) {
    for (const std::string& call : host.calls) {
        if (call == kHeaderLookup) {
            return true;
        }
    }
    return false;
}

} // namespace

const char* OutcomeName(JobOutcome outcome) {
    return kOutcomeNames[static_cast<std::size_t>(outcome)];
}

JobOutcome JudgeJob(const ReferenceHost& host) {
    if (Logged(host, kLogModified)) {
        return JobOutcome::kRewritten;
    }
    if (Logged(host, kLogNotModified)) {
        return JobOutcome::kUnable;
    }
    if (LoggedFoundHeader(host)) {
        return JobOutcome::kTurnedAway;
    }
    return LookedForHeader(host) ? JobOutcome::kNoHeader : JobOutcome::kOrdinary;
}

const TestJob* SubmittedReplacement(const ReferenceHost& host) {
    for (const TestJob* job : host.CreatedJobs()) {
        if (job->closed) {
            return job;
        }
    }
    return nullptr;
}

std::string NewMessageId(const TestJob& replacement) {
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
