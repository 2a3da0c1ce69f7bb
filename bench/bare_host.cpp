// The bare host's services; see bare_host.h.
#include "bench/bare_host.h"

#include "host/service_signatures.h"
#include "standin/service_table.h"

#include <cstring>

namespace {

constexpr unsigned char kMajorVersion = 2;
constexpr unsigned char kMinorVersion = 20;
constexpr const char* kDomain = "mail.example.org";
constexpr const char* kTempPath = "velmora-bench-never-created.tmp";
constexpr const char* kAutoreplyFrom = "bob@example.org";
constexpr const char* kRecipient = "alice@example.net";

BareHostCounters g_counters;
BareJob g_createdJob;
int g_messageFile; // only its address is used, as the message handle

void Count() {
    ++g_counters.hostCalls;
}

BareJob* AsJob(JobHandle handle) {
    return reinterpret_cast<BareJob*>(handle);
}

const char* VELMORA_CDECL QueryString(std::int32_t) {
    Count();
    return kDomain;
}

std::int32_t VELMORA_CDECL ExtractAddress(char* out, const char* text, std::int32_t) {
    Count();
    std::strcpy(out, text);
    return 1;
}

std::uint32_t VELMORA_CDECL TestAddress(const char*, char*, char*) {
    Count();
    return 1;
}

std::int32_t VELMORA_CDECL CloseJob(JobHandle) {
    Count();
    ++g_counters.jobsClosed;
    return 1;
}

std::int32_t VELMORA_CDECL RewindJob(JobHandle handle, std::int32_t) {
    Count();
    AsJob(handle)->nextLine = 0;
    return 1;
}

std::int32_t VELMORA_CDECL ReleaseJob(JobHandle) {
    Count();
    return 1;
}

std::int32_t VELMORA_CDECL GetJobInfo(JobHandle handle, JobInfoRecord* record) {
    Count();
    const char* sender = AsJob(handle)->sender.c_str();
    std::memcpy(record->bytes + kJobInfoSenderOffset, &sender, sizeof(sender));
    return 1;
}

JobHandle VELMORA_CDECL CreateJob(std::int32_t, const char*, const char*) {
    Count();
    return BareCreatedJob();
}

std::int32_t VELMORA_CDECL AddRecipient(JobHandle, const char*) {
    Count();
    return 1;
}

std::int32_t VELMORA_CDECL WriteLine(JobHandle, const char*) {
    Count();
    ++g_counters.linesWritten;
    return 1;
}

std::int32_t VELMORA_CDECL ReadLine(JobHandle handle, char* buffer, std::int32_t) {
    Count();
    BareJob* job = AsJob(handle);
    if (job->nextLine >= job->lines.size()) {
        return 0;
    }
    const std::string& line = job->lines[job->nextLine++];
    std::memcpy(buffer, line.c_str(), line.size() + 1);
    return 1;
}

const char* VELMORA_CDECL NextRecipient(JobHandle handle, std::int32_t, void*) {
    Count();
    return AsJob(handle)->nextRecipient++ == 0 ? kRecipient : nullptr;
}

std::int32_t VELMORA_CDECL TempFileName(std::int32_t, char* buffer, std::int32_t) {
    Count();
    std::strcpy(buffer, kTempPath);
    return 1;
}

MessageHandle VELMORA_CDECL OpenMessageFile(const char*, std::int32_t) {
    Count();
    return reinterpret_cast<MessageHandle>(&g_messageFile);
}

std::int32_t VELMORA_CDECL CloseMessageFile(MessageHandle) {
    Count();
    return 1;
}

const char* VELMORA_CDECL FindHeader(MessageHandle, const char*, char* buffer, std::int32_t) {
    Count();
    std::strcpy(buffer, kAutoreplyFrom);
    return buffer;
}

std::int32_t VELMORA_CDECL WriteJobToFile(JobHandle, const char*, std::int32_t) {
    Count();
    return 1;
}

std::int32_t VELMORA_CDECL Log(std::int32_t, std::int32_t, const char*) {
    Count();
    return 1;
}

} // namespace

void BuildBareHostBlock(HostServiceBlock* block) {
    std::memset(block->bytes, 0, sizeof(block->bytes));
    block->bytes[kBlockMajorVersionOffset] = kMajorVersion;
    block->bytes[kBlockMinorVersionOffset] = kMinorVersion;
    const HostServiceTable table = {
        &QueryString,      &TestAddress, &ExtractAddress, &TestAddress,  &CloseJob,
        &RewindJob,        &ReleaseJob,  &GetJobInfo,     &CreateJob,    &AddRecipient,
        &WriteLine,        &ReadLine,    &NextRecipient,  &TempFileName, &OpenMessageFile,
        &CloseMessageFile, &FindHeader,  &WriteJobToFile, &Log,
    };
    InstallServiceTable(block->bytes, table);
}

BareHostCounters& BareHostCount() {
    return g_counters;
}

JobHandle BareCreatedJob() {
    return reinterpret_cast<JobHandle>(&g_createdJob);
}

JobHandle BareIncomingJob(BareJob* job) {
    job->nextLine = 0;
    job->nextRecipient = 0;
    return reinterpret_cast<JobHandle>(job);
}
