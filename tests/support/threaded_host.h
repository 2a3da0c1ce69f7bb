// A host whose services may be called from many threads at once, as a real
// mail server's worker threads call DAEMON side by side. Everything a call
// touches lives in its own jobs and message files; only the log and the
// list of created jobs are shared, behind a lock.
//
// It offers the services a replacement needs and answers as a healthy
// host: no fault injection (the stand-in server has that).
#ifndef VELMORA_STANDIN_THREADED_HOST_H
#define VELMORA_STANDIN_THREADED_HOST_H

#include "host/service_block.h"

#include <memory>
#include <string>
#include <vector>

// A job, incoming or created by the module.
struct ThreadedJob {
    std::string sender;
    std::vector<std::string> recipients;
    std::vector<std::string> lines; // each with its CR LF
    std::size_t nextRecipient = 0;
    std::size_t nextLine = 0;
    int closeCalls = 0;
    int releaseCalls = 0;
};

// Builds the block (version 2.20, domain "mt.example.org") and resets the
// shared records. Not itself thread-safe: call before the threads start.
const HostServiceBlock* ThreadedHostBlock();

// The jobs the module created, in no particular order.
std::vector<std::shared_ptr<ThreadedJob>> ThreadedCreatedJobs();

// Log lines written so far, in the order they arrived.
std::vector<std::string> ThreadedLogs();

// Contract breaches seen by the services: a wrong rewind mode, or a message
// file deleted while the host still had it open. Temporary files left
// behind are for the caller to look for, in ThreadedTempPaths().
std::vector<std::string> ThreadedViolations();

// Temporary paths handed out so far.
std::vector<std::string> ThreadedTempPaths();

#endif
