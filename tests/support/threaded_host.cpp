// The thread-safe host; see threaded_host.h.
#include "tests/support/threaded_host.h"
#include "tests/support/scratch_files.h"

#include "host/service_signatures.h"
#include "standin/host_contract.h"
#include "standin/message_lines.h"
#include "standin/service_table.h"
#include "standin/temp_files.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

using namespace host_contract;

constexpr const char* kDomain = "mt.example.org";
constexpr unsigned char kMajor = 2;
constexpr unsigned char kMinor = 20;
// Far from the stand-in server's serial numbers, so that both may run in
// one process without sharing a path.
constexpr unsigned kFirstTempSerial = 1000000;

struct ThreadedMessage {
    std::string path;
    std::vector<std::string> lines;
};

struct SharedRecords {
    std::mutex lock;
    std::vector<std::shared_ptr<ThreadedJob>> created;
    std::vector<std::string> logs;
    std::vector<std::string> violations;
    std::vector<std::string> tempPaths;
};

SharedRecords g_records;
std::atomic<unsigned> g_tempSerial{kFirstTempSerial};
unsigned char g_block[kServiceBlockMinimumSize];

void Violation(const std::string& what) {
    std::lock_guard<std::mutex> guard(g_records.lock);
    g_records.violations.push_back(what);
}

ThreadedJob* AsJob(JobHandle handle) {
    return reinterpret_cast<ThreadedJob*>(handle);
}

const char* VELMORA_CDECL QueryString(std::int32_t item) {
    return item == kDomainItem ? kDomain : nullptr;
}

std::int32_t VELMORA_CDECL ExtractAddress(char* out, const char* text, std::int32_t limit) {
    std::string value = text;
    const std::size_t open = value.find('<');
    const std::size_t close = value.find('>', open);
    if (open != std::string::npos && close != std::string::npos) {
        value = value.substr(open + 1, close - open - 1);
    }
    value = value.substr(0, static_cast<std::size_t>(limit));
    std::memcpy(out, value.c_str(), value.size() + 1);
    return value.find('@') != std::string::npos ? 1 : 0;
}

std::uint32_t VELMORA_CDECL TestAddress(const char* address, char*, char*) {
    return std::strchr(address, '@') != nullptr ? 1 : 0;
}

std::int32_t VELMORA_CDECL CloseJob(JobHandle handle) {
    AsJob(handle)->closeCalls++;
    return 1;
}

std::int32_t VELMORA_CDECL RewindJob(JobHandle handle, std::int32_t mode) {
    if (mode != kRewindMode) {
        Violation("HostRewindJob: mode is not 2");
    }
    AsJob(handle)->nextLine = 0;
    return 1;
}

std::int32_t VELMORA_CDECL ReleaseJob(JobHandle handle) {
    AsJob(handle)->releaseCalls++;
    return 1;
}

std::int32_t VELMORA_CDECL GetJobInfo(JobHandle handle, JobInfoRecord* record) {
    const char* sender = AsJob(handle)->sender.c_str();
    std::memset(record->bytes, 0, kJobRecordBytes);
    std::memcpy(record->bytes + kSenderPointerOffset, &sender, sizeof(sender));
    return 1;
}

JobHandle VELMORA_CDECL CreateJob(std::int32_t, const char* sender, const char*) {
    auto job = std::make_shared<ThreadedJob>();
    job->sender = sender;
    std::lock_guard<std::mutex> guard(g_records.lock);
    g_records.created.push_back(job);
    return reinterpret_cast<JobHandle>(job.get());
}

std::int32_t VELMORA_CDECL AddRecipient(JobHandle handle, const char* address) {
    AsJob(handle)->recipients.push_back(address);
    return 1;
}

std::int32_t VELMORA_CDECL WriteLine(JobHandle handle, const char* text) {
    AsJob(handle)->lines.push_back(text);
    return 1;
}

std::int32_t VELMORA_CDECL ReadLine(JobHandle handle, char* buffer, std::int32_t size) {
    ThreadedJob* job = AsJob(handle);
    if (job->nextLine >= job->lines.size()) {
        return 0;
    }
    const std::string& line = job->lines[job->nextLine++];
    const std::size_t count = std::min(line.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(buffer, line.data(), count);
    buffer[count] = '\0';
    return 1;
}

const char* VELMORA_CDECL NextRecipient(JobHandle handle, std::int32_t, void*) {
    ThreadedJob* job = AsJob(handle);
    return job->nextRecipient < job->recipients.size()
               ? job->recipients[job->nextRecipient++].c_str()
               : nullptr;
}

std::int32_t VELMORA_CDECL TempFileName(std::int32_t, char* buffer, std::int32_t) {
    const std::string path = UniqueTempPath(g_tempSerial.fetch_add(1));
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    std::lock_guard<std::mutex> guard(g_records.lock);
    g_records.tempPaths.push_back(path);
    return 1;
}

std::int32_t VELMORA_CDECL WriteJobToFile(JobHandle handle, const char* path, std::int32_t) {
    std::string reason;
    return CreateTempCopy(path, AsJob(handle)->lines, &reason) ? 1 : 0;
}

MessageHandle VELMORA_CDECL OpenMessageFile(const char* path, std::int32_t) {
    std::string content;
    std::string reason;
    if (!ReadWholeFile(path, &content, &reason)) {
        return nullptr;
    }
    auto* message = new ThreadedMessage{path, SplitIntoCrlfLines(content)};
    return reinterpret_cast<MessageHandle>(message);
}

std::int32_t VELMORA_CDECL CloseMessageFile(MessageHandle handle) {
    auto* message = reinterpret_cast<ThreadedMessage*>(handle);
    if (!FileExists(message->path)) {
        Violation("HostCloseMessageFile: " + message->path + " was deleted while open");
    }
    delete message;
    return 1;
}

const char* VELMORA_CDECL FindHeader(MessageHandle handle, const char* name, char* buffer,
                                     std::int32_t size) {
    const auto* message = reinterpret_cast<const ThreadedMessage*>(handle);
    bool found = false;
    const std::string value = FindHeaderValue(message->lines, name, &found);
    if (!found) {
        return nullptr;
    }
    const std::string cut = value.substr(0, static_cast<std::size_t>(size) - 1);
    std::memcpy(buffer, cut.c_str(), cut.size() + 1);
    return buffer;
}

std::int32_t VELMORA_CDECL Log(std::int32_t, std::int32_t, const char* text) {
    std::lock_guard<std::mutex> guard(g_records.lock);
    g_records.logs.push_back(text);
    return 1;
}

template <typename T> std::vector<T> LockedCopy(const std::vector<T>& records) {
    std::lock_guard<std::mutex> guard(g_records.lock);
    return records;
}

} // namespace

const HostServiceBlock* ThreadedHostBlock() {
    {
        std::lock_guard<std::mutex> guard(g_records.lock);
        g_records.created.clear();
        g_records.logs.clear();
        g_records.violations.clear();
        g_records.tempPaths.clear();
    }
    std::memset(g_block, 0, sizeof(g_block));
    g_block[kBlockMajorVersionOffset] = kMajor;
    g_block[kBlockMinorVersionOffset] = kMinor;
    const HostServiceTable table = {
        &QueryString,      &TestAddress, &ExtractAddress, &TestAddress,  &CloseJob,
        &RewindJob,        &ReleaseJob,  &GetJobInfo,     &CreateJob,    &AddRecipient,
        &WriteLine,        &ReadLine,    &NextRecipient,  &TempFileName, &OpenMessageFile,
        &CloseMessageFile, &FindHeader,  &WriteJobToFile, &Log,
    };
    InstallServiceTable(g_block, table);
    return reinterpret_cast<const HostServiceBlock*>(g_block);
}

std::vector<std::shared_ptr<ThreadedJob>> ThreadedCreatedJobs() {
    return LockedCopy(g_records.created);
}

std::vector<std::string> ThreadedLogs() {
    return LockedCopy(g_records.logs);
}

std::vector<std::string> ThreadedViolations() {
    return LockedCopy(g_records.violations);
}

std::vector<std::string> ThreadedTempPaths() {
    return LockedCopy(g_records.tempPaths);
}
