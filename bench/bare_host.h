// A host pared down to the least work each service can do, so that the
// benchmark measures the module rather than the host: jobs are prepared
// line vectors, nothing is allocated, written lines are only counted, and
// the temporary file is never made (the module's deletion of it is still a
// real call to the operating system).
//
// Every service adds one to a call counter, so that a benchmark can check
// how many host calls a DAEMON call made.
#ifndef VELMORA_BENCH_BARE_HOST_H
#define VELMORA_BENCH_BARE_HOST_H

#include "host/service_block.h"

#include <cstddef>
#include <string>
#include <vector>

// A job as the bare host keeps it.
struct BareJob {
    std::string sender;             // envelope sender
    std::vector<std::string> lines; // message lines, each with its CR LF
    std::size_t nextLine = 0;
    std::size_t nextRecipient = 0;
};

// What the module did, counted.
struct BareHostCounters {
    std::size_t hostCalls = 0;
    std::size_t linesWritten = 0;
    std::size_t jobsClosed = 0;
};

// Makes a block with every service filled and the version bytes of 2.20.
void BuildBareHostBlock(HostServiceBlock* block);

// The counters of all bare-host services, since the last reset.
BareHostCounters& BareHostCount();

// The job the module creates is this one, whatever it asks for.
JobHandle BareCreatedJob();

// An incoming job with the given envelope sender and message lines.
JobHandle BareIncomingJob(BareJob* job);

#endif
