// Typed calls to the host's services.
//
// One function per service we use. Each takes the service block first,
// fetches the function pointer from its slot and passes the remaining
// arguments on, together with the fixed values the host expects for the
// way we use the service. A slot that holds a null pointer is treated as a
// service that failed: the call returns the failure value (null, 0, false)
// instead of jumping to address zero inside the mail server.
//
// Truth results are judged by their low 8 bits only, as the host may leave
// the upper bits of the result register undefined.
#ifndef VELMORA_HOST_HOST_CALLS_H
#define VELMORA_HOST_HOST_CALLS_H

#include "host/service_block.h"

#include <cstdint>

// Log codes. Every log line is filed under the same facility; the second
// code tells start-up lines from per-job lines.
constexpr std::int32_t kLogFacility = 10;
constexpr std::int32_t kLogCodeStartup = 15;
constexpr std::int32_t kLogCodeJob = 25;

// Fixed arguments the host expects for our uses of its services.
constexpr std::int32_t kQueryItemDomain = 3;
constexpr std::int32_t kExtractAddressLimit = 255;
constexpr std::int32_t kRewindToMessageStart = 2;
constexpr std::int32_t kCreateJobKind = 1;
constexpr const char* kCreateJobOptions = "0";
constexpr std::int32_t kNextRecipientStart = 0;
constexpr std::int32_t kTempFileKind = 7;
constexpr std::int32_t kTempFileFlags = 0;
constexpr std::int32_t kOpenMessageFlags = 0;
constexpr std::int32_t kWriteJobToFileMode = 16;

// Sizes of the buffers the host writes into, as it expects them.
constexpr std::int32_t kAddressBufferSize = 256;
constexpr std::int32_t kHeaderValueBufferSize = 256;
constexpr std::int32_t kTempPathBufferSize = 128;
constexpr std::int32_t kLineBufferSize = 10000;
constexpr std::int32_t kRecipientScratchSize = 122;

// Version byte readers.
unsigned HostMajorVersion(const HostServiceBlock* block);
unsigned HostMinorVersion(const HostServiceBlock* block);

// Asks the host for one of its configuration strings; null if it has none.
const char* HostQueryString(const HostServiceBlock* block, std::int32_t item);

// Address tests. ExtractAddress writes the address found in `text` into
// `out` (at most kExtractAddressLimit characters); Check and Verify judge
// that address, sharing the two work buffers between them.
bool HostExtractAddress(const HostServiceBlock* block, char* out, const char* text);
bool HostCheckAddress(const HostServiceBlock* block, const char* address, char* bufferA,
                      char* bufferB);
bool HostVerifyAddress(const HostServiceBlock* block, const char* address, char* bufferA,
                       char* bufferB);

// Job services.
std::int32_t HostCloseJob(const HostServiceBlock* block, JobHandle job);
void HostRewindJob(const HostServiceBlock* block, JobHandle job);
void HostReleaseJob(const HostServiceBlock* block, JobHandle job);
void HostGetJobInfo(const HostServiceBlock* block, JobHandle job, JobInfoRecord* record);
JobHandle HostCreateJob(const HostServiceBlock* block, const char* sender);
void HostAddRecipient(const HostServiceBlock* block, JobHandle job, const char* address);
void HostWriteLine(const HostServiceBlock* block, JobHandle job, const char* text);
bool HostReadLine(const HostServiceBlock* block, JobHandle job, char* buffer);
const char* HostNextRecipient(const HostServiceBlock* block, JobHandle job, void* scratch);

// Message file services.
void HostTempFileName(const HostServiceBlock* block, char* pathBuffer);
MessageHandle HostOpenMessageFile(const HostServiceBlock* block, const char* path);
void HostCloseMessageFile(const HostServiceBlock* block, MessageHandle message);
const char* HostFindHeader(const HostServiceBlock* block, MessageHandle message, const char* name,
                           char* valueBuffer);
void HostWriteJobToFile(const HostServiceBlock* block, JobHandle job, const char* path);

// Writes one line to the host's log.
void HostLog(const HostServiceBlock* block, std::int32_t code, const char* text);

// Reads the envelope sender pointer out of a filled job record.
const char* JobInfoSender(const JobInfoRecord* record);

#endif
