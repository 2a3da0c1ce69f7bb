// The bare replay of a replacement's host calls; see host_call_floor.h.
#include "bench/host_call_floor.h"

#include "host/host_calls.h"

#include <cstring>

namespace {

constexpr const char* kHeaderName = "X-Autoreply-From";
constexpr const char* kFoundLine = "Autoreply from bob@example.org found";
constexpr const char* kMessageIdLine = "Message-ID: <ar1000@mail.example.org>\r\n";
constexpr const char* kModifiedLine = "MAIL FROM in autoreply modified by daemon";
constexpr const char* kSender = "relay@example.org";

// Intake: the job record, the temporary copy and the header value.
void ReplayIntake(const HostServiceBlock* block, JobHandle incoming) {
    JobInfoRecord record;
    std::memset(&record, 0, sizeof(record));
    HostGetJobInfo(block, incoming, &record);

    char path[kTempPathBufferSize + 1] = {};
    char value[kHeaderValueBufferSize + 1] = {};
    HostTempFileName(block, path);
    HostWriteJobToFile(block, incoming, path);
    MessageHandle message = HostOpenMessageFile(block, path);
    HostFindHeader(block, message, kHeaderName, value);
    HostCloseMessageFile(block, message);
    HostLog(block, kLogCodeJob, kFoundLine);

    char address[kAddressBufferSize + 1] = {};
    char bufferA[kAddressBufferSize + 1] = {};
    char bufferB[kAddressBufferSize + 1] = {};
    HostExtractAddress(block, address, value);
    HostCheckAddress(block, address, bufferA, bufferB);
    HostVerifyAddress(block, address, bufferA, bufferB);
}

// The new job: recipients, the Message-ID line and every line copied.
void ReplayCopy(const HostServiceBlock* block, JobHandle incoming) {
    JobHandle job = HostCreateJob(block, kSender);
    unsigned char scratch[kRecipientScratchSize] = {};
    while (const char* recipient = HostNextRecipient(block, incoming, scratch)) {
        HostAddRecipient(block, job, recipient);
    }
    HostWriteLine(block, job, kMessageIdLine);

    char line[kLineBufferSize + 1];
    HostRewindJob(block, incoming);
    std::memset(line, 0, sizeof(line));
    while (HostReadLine(block, incoming, line)) {
        HostWriteLine(block, job, line);
        std::memset(line, 0, kLineBufferSize);
    }
    HostCloseJob(block, job);
    HostReleaseJob(block, job);
    HostLog(block, kLogCodeJob, kModifiedLine);
}

} // namespace

void ReplayReplacementHostCalls(const HostServiceBlock* block, JobHandle incoming) {
    ReplayIntake(block, incoming);
    ReplayCopy(block, incoming);
}
