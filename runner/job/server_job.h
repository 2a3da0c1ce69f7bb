// One message as a mail job of the stand-in server: handing it to the
// loaded module, judging what the module did, and reading the replacement
// it submitted.
#ifndef VELMORA_RUNNER_JOB_SERVER_JOB_H
#define VELMORA_RUNNER_JOB_SERVER_JOB_H

#include "runner/job/job_outcome.h"
#include "standin/host_contract.h"
#include "standin/job_record.h"
#include "standin/module_loader.h"
#include "standin/standin_server.h"

#include <string>
#include <vector>

// What every job of a run shares.
struct JobSettings {
    std::string envelopeSender = host_contract::kNullReversePath;
    // The sender a message records (its Return-Path:, else its mailbox
    // separator's) overrides envelopeSender; off, envelopeSender is every
    // job's.
    bool senderFromMessage = true;
    std::vector<std::string> recipients;
    std::string configuredSender = "autoreply@example.org";
};

// The envelope sender the job gets for `message`, which its mailbox
// separator gave `separatorSender` (empty: none). When the message's
// Return-Path: gives it, that field is taken out of `message` (see
// TakeReturnPath): the server queued the message without it.
std::string EnvelopeSenderFor(const JobSettings& settings, std::string* message,
                              const std::string& separatorSender);

// Hands `message` to `server` as an incoming job from `envelopeSender`
// and has it call DAEMON on the job, as the server does for each job; the
// job stays open until the server's EndJob. The module must have been
// started in `server`. The job takes the text over: a large message is not
// held twice.
void RunJob(const LoadedModule& module, StandInServer* server, const JobSettings& settings,
            const std::string& envelopeSender, std::string message);

// Judges a job by its record, the job having had the envelope sender
// `envelopeSender`: a job whose sender is not "<>" is ordinary whatever
// happened, and one with the null sender that the server could not copy
// for the module was never looked at, which is not the same as having no
// header.
JobOutcome JudgeJob(const JobRecord& record, const std::string& envelopeSender);

// The value of the Message-ID line the replacement starts with, without
// its line end; empty if it does not start with one.
std::string NewMessageId(const MadeJob& replacement);

#endif
