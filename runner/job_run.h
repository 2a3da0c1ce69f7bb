// Handing one message to the loaded module as a mail job.
#ifndef VELMORA_RUNNER_JOB_RUN_H
#define VELMORA_RUNNER_JOB_RUN_H

#include "standin/module_loader.h"
#include "standin/reference_host.h"

#include <cstdint>
#include <string>
#include <vector>

// What every job of a run shares.
struct JobSettings {
    std::string envelopeSender = "<>";
    // The sender a message records (its Return-Path:, else its mailbox
    // separator's) overrides envelopeSender; off, envelopeSender is every
    // job's.
    bool senderFromMessage = true;
    std::vector<std::string> recipients;
    std::string configuredSender = "autoreply@example.org";
};

// The envelope sender the job gets for `message`, which its mailbox
// separator gave `separatorSender` (empty: none).
std::string EnvelopeSenderFor(const JobSettings& settings, const std::string& message,
                              const std::string& separatorSender);

// Adds `message` to `host` as an incoming job from `envelopeSender` and
// calls DAEMON on it, as the server does for each job; returns DAEMON's
// result. The module must have been started in `host`.
std::int32_t RunJob(const LoadedModule& module, ReferenceHost* host, const JobSettings& settings,
                    const std::string& envelopeSender, const std::string& message);

// A job's message as one text, line ends included: what a replacement
// looks like on disk.
std::string JobMessageText(const HostJob& job);

#endif
