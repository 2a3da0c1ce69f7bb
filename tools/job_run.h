// Handing one message to the loaded module as a mail job.
#ifndef VELMORA_TOOLS_JOB_RUN_H
#define VELMORA_TOOLS_JOB_RUN_H

#include "testhost/module_loader.h"
#include "testhost/reference_host.h"

#include <cstdint>
#include <string>
#include <vector>

// What every job of a run shares.
struct JobSettings {
    std::string envelopeSender = "<>";
    bool senderFromReturnPath = false; // Return-Path: overrides envelopeSender
    std::vector<std::string> recipients;
    std::string configuredSender = "autoreply@example.org";
};

// The envelope sender the job gets for `message`.
std::string EnvelopeSenderFor(const JobSettings& settings, const std::string& message);

// Adds `message` to `host` as an incoming job and calls DAEMON on it, as
// the server does for each job; returns DAEMON's result. The module must
// have been started in `host`.
std::int32_t RunJob(const LoadedModule& module, ReferenceHost* host, const JobSettings& settings,
                    const std::string& message);

// A job's message as one text, line ends included: what a replacement
// looks like on disk.
std::string JobMessageText(const TestJob& job);

#endif
