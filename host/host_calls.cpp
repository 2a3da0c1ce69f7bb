// Typed calls to the host's services; see host_calls.h.
#include "host/host_calls.h"

#include "host/service_signatures.h"

#include <cstring>

namespace {

constexpr std::uint32_t kTruthMask = 0xFFu;

// Copies the function pointer of the service at the given 32-bit offset out
// of the block. Copying byte-wise keeps the read well-defined although the
// slot is not aligned for a pointer.
template <typename Fn> Fn LoadService(const HostServiceBlock* block, std::size_t offset32) {
    Fn fn = nullptr;
    static_assert(sizeof(fn) == sizeof(void*), "service slots are pointer-sized");
    std::memcpy(&fn, block->bytes + ServiceSlotPosition(offset32), sizeof(fn));
    return fn;
}

bool IsTrue(std::uint32_t result) {
    return (result & kTruthMask) != 0;
}

} // namespace

unsigned HostMajorVersion(const HostServiceBlock* block) {
    return HostBlockByte(block, kBlockMajorVersionOffset);
}

unsigned HostMinorVersion(const HostServiceBlock* block) {
    return HostBlockByte(block, kBlockMinorVersionOffset);
}

const char* HostQueryString(const HostServiceBlock* block, std::int32_t item) {
    auto fn = LoadService<HostQueryStringFn>(block, kHostQueryStringOffset);
    return fn ? fn(item) : nullptr;
}

bool HostExtractAddress(const HostServiceBlock* block, char* out, const char* text) {
    auto fn = LoadService<HostExtractAddressFn>(block, kHostExtractAddressOffset);
    return fn && fn(out, text, kExtractAddressLimit) != 0;
}

bool HostCheckAddress(const HostServiceBlock* block, const char* address, char* bufferA,
                      char* bufferB) {
    auto fn = LoadService<HostCheckAddressFn>(block, kHostCheckAddressOffset);
    return fn && IsTrue(fn(address, bufferA, bufferB));
}

bool HostVerifyAddress(const HostServiceBlock* block, const char* address, char* bufferA,
                       char* bufferB) {
    auto fn = LoadService<HostVerifyAddressFn>(block, kHostVerifyAddressOffset);
    return fn && IsTrue(fn(address, bufferA, bufferB));
}

std::int32_t HostCloseJob(const HostServiceBlock* block, JobHandle job) {
    auto fn = LoadService<HostCloseJobFn>(block, kHostCloseJobOffset);
    return fn ? fn(job) : 0;
}

void HostRewindJob(const HostServiceBlock* block, JobHandle job) {
    if (auto fn = LoadService<HostRewindJobFn>(block, kHostRewindJobOffset)) {
        fn(job, kRewindToMessageStart);
    }
}

void HostReleaseJob(const HostServiceBlock* block, JobHandle job) {
    if (auto fn = LoadService<HostReleaseJobFn>(block, kHostReleaseJobOffset)) {
        fn(job);
    }
}

void HostGetJobInfo(const HostServiceBlock* block, JobHandle job, JobInfoRecord* record) {
    if (auto fn = LoadService<HostGetJobInfoFn>(block, kHostGetJobInfoOffset)) {
        fn(job, record);
    }
}

JobHandle HostCreateJob(const HostServiceBlock* block, const char* sender) {
    auto fn = LoadService<HostCreateJobFn>(block, kHostCreateJobOffset);
    return fn ? fn(kCreateJobKind, sender, kCreateJobOptions) : nullptr;
}

void HostAddRecipient(const HostServiceBlock* block, JobHandle job, const char* address) {
    if (auto fn = LoadService<HostAddRecipientFn>(block, kHostAddRecipientOffset)) {
        fn(job, address);
    }
}

void HostWriteLine(const HostServiceBlock* block, JobHandle job, const char* text) {
    if (auto fn = LoadService<HostWriteLineFn>(block, kHostWriteLineOffset)) {
        fn(job, text);
    }
}

bool HostReadLine(const HostServiceBlock* block, JobHandle job, char* buffer) {
    auto fn = LoadService<HostReadLineFn>(block, kHostReadLineOffset);
    return fn && fn(job, buffer, kLineBufferSize) != 0;
}

const char* HostNextRecipient(const HostServiceBlock* block, JobHandle job, void* scratch) {
    auto fn = LoadService<HostNextRecipientFn>(block, kHostNextRecipientOffset);
    return fn ? fn(job, kNextRecipientStart, scratch) : nullptr;
}

void HostTempFileName(const HostServiceBlock* block, char* pathBuffer) {
    if (auto fn = LoadService<HostTempFileNameFn>(block, kHostTempFileNameOffset)) {
        fn(kTempFileKind, pathBuffer, kTempFileFlags);
    }
}

MessageHandle HostOpenMessageFile(const HostServiceBlock* block, const char* path) {
    auto fn = LoadService<HostOpenMessageFileFn>(block, kHostOpenMessageFileOffset);
    return fn ? fn(path, kOpenMessageFlags) : nullptr;
}

void HostCloseMessageFile(const HostServiceBlock* block, MessageHandle message) {
    if (auto fn = LoadService<HostCloseMessageFileFn>(block, kHostCloseMessageFileOffset)) {
        fn(message);
    }
}

const char* HostFindHeader(const HostServiceBlock* block, MessageHandle message, const char* name,
                           char* valueBuffer) {
    auto fn = LoadService<HostFindHeaderFn>(block, kHostFindHeaderOffset);
    return fn ? fn(message, name, valueBuffer, kHeaderValueBufferSize) : nullptr;
}

void HostWriteJobToFile(const HostServiceBlock* block, JobHandle job, const char* path) {
    if (auto fn = LoadService<HostWriteJobToFileFn>(block, kHostWriteJobToFileOffset)) {
        fn(job, path, kWriteJobToFileMode);
    }
}

void HostLog(const HostServiceBlock* block, std::int32_t code, const char* text) {
    if (auto fn = LoadService<HostLogFn>(block, kHostLogOffset)) {
        fn(kLogFacility, code, text);
    }
}

const char* JobInfoSender(const JobInfoRecord* record) {
    const char* sender = nullptr;
    std::memcpy(&sender, record->bytes + kJobInfoSenderOffset, sizeof(sender));
    return sender;
}
