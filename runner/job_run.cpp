// One message as a job; see job_run.h.
#include "runner/job_run.h"

#include "runner/return_path.h"

std::string EnvelopeSenderFor(const JobSettings& settings, const std::string& message,
                              const std::string& separatorSender) {
    if (!settings.senderFromMessage) {
        return settings.envelopeSender;
    }
    return SenderFromReturnPath(message, separatorSender.empty() ? settings.envelopeSender
                                                                 : separatorSender);
}

std::int32_t RunJob(const LoadedModule& module, ReferenceHost* host, const JobSettings& settings,
                    const std::string& envelopeSender, const std::string& message) {
    const JobHandle job = host->AddIncomingJob(envelopeSender, settings.recipients, message);
    return module.Daemon()(job, host->Block(), nullptr, settings.configuredSender.c_str());
}

std::string JobMessageText(const HostJob& job) {
    std::string text;
    for (const std::string& line : job.lines) {
        text += line;
    }
    return text;
}
