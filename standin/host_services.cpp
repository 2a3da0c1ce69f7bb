// The stand-in server's services. Each records its call, checks that the
// module kept to the service's contract (fixed arguments, buffer sizes,
// handles it owns) and answers as the active host's faults say.
#include "standin/host_services.h"

#include "host/service_signatures.h"
#include "standin/host_contract.h"
#include "standin/message_lines.h"
#include "standin/service_table.h"
#include "standin/standin_server.h"
#include "standin/temp_files.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace {

using namespace host_contract;

constexpr unsigned char kJunkByte = 0xA5;
constexpr char kFillByte = 'a';

StandInServer& Host() {
    return *StandInServer::Active();
}

void Called(const char* service) {
    if (Host().settings.traceCalls) {
        Host().calls.push_back(service);
    }
}

// True when the active host's faults make the service at this 32-bit byte
// offset answer as a failed call.
bool Failing(std::size_t offset32) {
    return Host().faults.failingServices.count(offset32) != 0;
}

void Violation(const std::string& what) {
    Host().violations.push_back(what);
}

void Expect(bool ok, const std::string& what) {
    if (!ok) {
        Violation(what);
    }
}

// The same for a fixed text: the checks of every read and write make no
// string unless they fail.
void Expect(bool ok, const char* what) {
    if (!ok) {
        Violation(what);
    }
}

HostJob* AsJob(JobHandle handle, const char* service) {
    auto* job = reinterpret_cast<HostJob*>(handle);
    if (!Host().OwnsJob(job)) {
        Violation(std::string(service) + ": unknown job handle");
        return nullptr;
    }
    return job;
}

HostMessage* AsMessage(MessageHandle handle, const char* service) {
    auto* message = reinterpret_cast<HostMessage*>(handle);
    if (!Host().OwnsMessage(message)) {
        Violation(std::string(service) + ": unknown message handle");
        return nullptr;
    }
    return message;
}

// Copies `text` into `buffer` like strncpy does: when the text is as long
// as the buffer or longer, no terminator is written. Real hosts do this.
void CopyLikeStrncpy(char* buffer, const std::string& text, std::size_t size) {
    const std::size_t count = text.size() < size ? text.size() + 1 : size;
    std::memcpy(buffer, text.c_str(), count);
}

// True when the `size` bytes at `buffer` (at most a line buffer's) are all
// zero. Compared with a block of zeros in one call, which costs about what
// the module's own clearing does: a byte-by-byte look took most of the time
// a message of many short lines spends in the host.
bool AllZero(const char* buffer, std::size_t size) {
    static const char kZeros[kReadLineBytes] = {};
    return size <= sizeof(kZeros) && std::memcmp(buffer, kZeros, size) == 0;
}

const char* VELMORA_CDECL QueryString(std::int32_t item) {
    Called("HostQueryString");
    Expect(item == kDomainItem, "HostQueryString: item is not 3");
    if (Failing(kHostQueryStringOffset)) {
        return nullptr;
    }
    return Host().faults.domainIsNull ? nullptr : Host().settings.domain.c_str();
}

std::int32_t VELMORA_CDECL ExtractAddress(char* out, const char* text, std::int32_t limit) {
    Called("HostExtractAddress");
    Expect(limit == kExtractLimit, "HostExtractAddress: limit is not 255");
    Host().extractedTexts.push_back(text);
    if (Host().faults.extractFails || Failing(kHostExtractAddressOffset)) {
        return 0;
    }
    std::string value = text;
    const std::size_t open = value.find('<');
    const std::size_t close = value.find('>', open);
    if (open != std::string::npos && close != std::string::npos) {
        value = value.substr(open + 1, close - open - 1);
    }
    if (value.find('@') == std::string::npos) {
        return 0;
    }
    value = value.substr(0, static_cast<std::size_t>(limit));
    std::memcpy(out, value.c_str(), value.size() + 1);
    return 1;
}

// Check leaves its verdict in the two work buffers; Verify expects to find
// it there, as the real host's pair of tests does.
std::string CheckMark(const char* address) {
    return std::string("checked ") + address;
}

std::uint32_t VELMORA_CDECL CheckAddress(const char* address, char* bufferA, char* bufferB) {
    Called("HostCheckAddress");
    if (Failing(kHostCheckAddressOffset)) {
        return 0;
    }
    const std::string mark = CheckMark(address).substr(0, kAddressBufferBytes - 1);
    std::memcpy(bufferA, mark.c_str(), mark.size() + 1);
    std::memcpy(bufferB, mark.c_str(), mark.size() + 1);
    return Host().faults.checkResult;
}

std::uint32_t VELMORA_CDECL VerifyAddress(const char* address, char* bufferA, char* bufferB) {
    Called("HostVerifyAddress");
    const std::string mark = CheckMark(address).substr(0, kAddressBufferBytes - 1);
    Expect(mark == bufferA && mark == bufferB,
           "HostVerifyAddress: work buffers not as HostCheckAddress left them");
    if (Failing(kHostVerifyAddressOffset)) {
        return 0;
    }
    return Host().faults.verifyResult;
}

std::int32_t VELMORA_CDECL CloseJob(JobHandle handle) {
    Called("HostCloseJob");
    HostJob* job = AsJob(handle, "HostCloseJob");
    if (job == nullptr) {
        return 0;
    }
    Expect(job->createdByModule, "HostCloseJob: closing a job the module did not create");
    Expect(!job->closed && !job->released, "HostCloseJob: job closed twice or after release");
    job->closed = true;
    const std::int32_t result = Failing(kHostCloseJobOffset) ? 0 : Host().faults.closeResult;
    if (result > 0) {
        Host().Submitted(*job);
    }
    return result;
}

std::int32_t VELMORA_CDECL RewindJob(JobHandle handle, std::int32_t mode) {
    Called("HostRewindJob");
    Expect(mode == kRewindMode, "HostRewindJob: mode is not 2");
    HostJob* job = AsJob(handle, "HostRewindJob");
    if (job == nullptr) {
        return 0;
    }
    // Only the incoming message is read back; the new job is written.
    Expect(!job->createdByModule, "HostRewindJob: rewinding the module's new job, not the "
                                  "incoming one");
    if (Failing(kHostRewindJobOffset)) {
        return 0;
    }
    job->nextLine = 0;
    job->lineStart = 0;
    job->nextOffset = 0;
    job->servedLine.clear();
    return 1;
}

std::int32_t VELMORA_CDECL ReleaseJob(JobHandle handle) {
    Called("HostReleaseJob");
    HostJob* job = AsJob(handle, "HostReleaseJob");
    if (job == nullptr) {
        return 0;
    }
    Expect(job->createdByModule, "HostReleaseJob: releasing a job the module did not create");
    Expect(!job->released, "HostReleaseJob: job released twice");
    job->released = true;
    return Failing(kHostReleaseJobOffset) ? 0 : 1;
}

std::int32_t VELMORA_CDECL GetJobInfo(JobHandle handle, JobInfoRecord* record) {
    Called("HostGetJobInfo");
    HostJob* job = AsJob(handle, "HostGetJobInfo");
    if (job == nullptr || Host().faults.jobInfoUntouched || Failing(kHostGetJobInfoOffset)) {
        return 0;
    }
    std::memset(record->bytes, kJunkByte, kJobRecordBytes);
    const char* sender = job->sender.c_str();
    std::memcpy(record->bytes + kSenderPointerOffset, &sender, sizeof(sender));
    return 1;
}

JobHandle VELMORA_CDECL CreateJob(std::int32_t kind, const char* sender, const char* options) {
    Called("HostCreateJob");
    Expect(kind == kCreateKind, "HostCreateJob: kind is not 1");
    Expect(options != nullptr && std::strcmp(options, kCreateOptions) == 0,
           "HostCreateJob: options are not \"0\"");
    if (Host().faults.createJobFails || Failing(kHostCreateJobOffset)) {
        return nullptr;
    }
    HostJob* job = Host().NewJob();
    // Servers trim the white space around the address they are given, and
    // keep an empty MAIL FROM as the null reverse-path "<>".
    const std::string trimmed = sender == nullptr ? "(null)" : TrimBlanks(sender);
    job->sender = trimmed.empty() ? kNullReversePath : trimmed;
    job->createdByModule = true;
    job->generation = Host().CurrentGeneration() + 1;
    job->text.reserve(Host().ReplacementCapacity());
    return reinterpret_cast<JobHandle>(job);
}

// Writing into a job is only allowed until it is closed or released.
HostJob* WritableJob(JobHandle handle, const char* service) {
    HostJob* job = AsJob(handle, service);
    if (job != nullptr && (!job->createdByModule || job->closed || job->released)) {
        Violation(std::string(service) + ": job is not open for writing");
        return nullptr;
    }
    return job;
}

std::int32_t VELMORA_CDECL AddRecipient(JobHandle handle, const char* address) {
    Called("HostAddRecipient");
    HostJob* job = WritableJob(handle, "HostAddRecipient");
    if (job == nullptr || Failing(kHostAddRecipientOffset)) {
        return 0;
    }
    job->recipients.push_back(address);
    return 1;
}

std::int32_t VELMORA_CDECL WriteLine(JobHandle handle, const char* text) {
    Called("HostWriteLine");
    HostJob* job = WritableJob(handle, "HostWriteLine");
    if (job == nullptr || Failing(kHostWriteLineOffset)) {
        return 0;
    }
    job->text += text;
    if (job->text.empty() || job->text.back() != '\n') {
        job->pieceEnds.push_back(job->text.size());
    }
    return 1;
}

// Hands over the next part of the current line the way fgets does: at most
// size - 1 bytes and a terminator, so that a line too long for the buffer
// comes in pieces and only its last piece ends with the line end. The
// faults can make the host cut a long line strncpy-style instead, fill the
// buffer, or leave junk after the terminator.
std::int32_t VELMORA_CDECL ReadLine(JobHandle handle, char* buffer, std::int32_t size) {
    Called("HostReadLine");
    Expect(size == kReadLineBytes, "HostReadLine: size is not 10000");
    // A host may write only a line's bytes: the cleared buffer ends them.
    Expect(size != kReadLineBytes || AllZero(buffer, kReadLineBytes),
           "HostReadLine: buffer is not all zeros");
    HostJob* job = AsJob(handle, "HostReadLine");
    if (job == nullptr || Failing(kHostReadLineOffset) || job->lineStart >= job->text.size()) {
        return 0;
    }
    const std::size_t index = job->nextLine;
    if (job->nextOffset == 0) {
        job->servedLine = job->ServedLine(job->lineStart, &job->servedLineNext);
    }
    const std::string& line = job->servedLine;
    const auto bytes = static_cast<std::size_t>(size);
    if (index == Host().faults.emptyReadBeforeLine && !job->gaveEmptyRead) {
        job->gaveEmptyRead = true;
        buffer[0] = '\0';
        return 1; // nothing this time; the line is still to come
    }
    if (index == Host().faults.fillBufferAtLine) {
        std::memset(buffer, kFillByte, bytes);
    } else if (index == Host().faults.junkAfterTerminatorAtLine) {
        std::memset(buffer, kFillByte, bytes);
        CopyLikeStrncpy(buffer, line, bytes);
    } else if (Host().faults.cutLongLines) {
        CopyLikeStrncpy(buffer, line, bytes);
    } else {
        const std::size_t count = std::min(line.size() - job->nextOffset, bytes - 1);
        std::memcpy(buffer, line.data() + job->nextOffset, count);
        if (!Host().faults.lineBytesOnly) {
            buffer[count] = '\0';
        }
        job->nextOffset += count;
        if (job->nextOffset < line.size()) {
            return 1; // more of this line to come
        }
    }
    job->nextLine++;
    job->lineStart = job->servedLineNext;
    job->nextOffset = 0;
    job->servedLine.clear();
    return 1;
}

const char* VELMORA_CDECL NextRecipient(JobHandle handle, std::int32_t start, void* scratch) {
    Called("HostNextRecipient");
    Expect(start == kRecipientStart, "HostNextRecipient: second argument is not 0");
    // The host uses the scratch record for its own bookkeeping.
    std::memset(scratch, kJunkByte, kRecipientScratchBytes);
    HostJob* job = AsJob(handle, "HostNextRecipient");
    if (job == nullptr || Failing(kHostNextRecipientOffset)) {
        return nullptr;
    }
    if (job->nextRecipient < job->recipients.size()) {
        return job->recipients[job->nextRecipient++].c_str();
    }
    return Host().faults.recipientListEnd == RecipientListEnd::kNullPointer ? nullptr : "";
}

// Writes the job's message to a new file at `path` as the host serves it
// (line ends CR LF), a piece at a time rather than as one more copy.
bool WriteServedCopy(const HostJob& job, const std::string& path, std::string* reason) {
    constexpr std::size_t kPieceBytes = 64 * 1024;
    TempCopyWriter writer;
    if (!writer.Create(path, reason)) {
        return false;
    }
    std::string piece;
    for (std::size_t start = 0; start < job.text.size();) {
        piece += job.ServedLine(start, &start);
        if (piece.size() >= kPieceBytes) {
            if (!writer.Write(piece, reason)) {
                return false;
            }
            piece.clear();
        }
    }
    return (piece.empty() || writer.Write(piece, reason)) && writer.Finish(reason);
}

// Names the next copy, in the stand-in's private folder. When there is no
// such folder the buffer gets an empty path, the copy cannot be made and
// the module has nothing to read: the message goes unexamined, with the
// reason, and is never blamed on the module.
std::int32_t VELMORA_CDECL TempFileName(std::int32_t kind, char* buffer, std::int32_t flags) {
    Called("HostTempFileName");
    Expect(kind == kTempKind && flags == kTempFlags, "HostTempFileName: arguments are not 7, 0");
    if (Failing(kHostTempFileNameOffset)) {
        return 0;
    }
    std::string path;
    std::string reason;
    if (!Host().NextTempPath(&path, &reason)) {
        Host().serverFailures.push_back("cannot name a temporary copy: " + reason);
        buffer[0] = '\0';
        return 0;
    }
    Expect(path.size() < kTempPathBytes, "HostTempFileName: path does not fit (host fault)");
    if (Host().faults.tempPathFillsBuffer && path.size() < kTempPathBytes) {
        // Padded inside the name, before its extension, to the buffer's size.
        path.insert(path.rfind('.'), kTempPathBytes - path.size(), 'p');
    }
    CopyLikeStrncpy(buffer, path, kTempPathBytes);
    Host().tempFiles.push_back(path);
    return 1;
}

// True when `path` is a copy this host named: the host writes nowhere
// else, whatever the module passes.
bool NamedByHost(const char* path) {
    for (const std::string& named : Host().tempFiles) {
        if (path != nullptr && named == path) {
            return true;
        }
    }
    return false;
}

std::int32_t VELMORA_CDECL WriteJobToFile(JobHandle handle, const char* path, std::int32_t mode) {
    Called("HostWriteJobToFile");
    Expect(mode == kWriteMode, "HostWriteJobToFile: mode is not 16");
    HostJob* job = AsJob(handle, "HostWriteJobToFile");
    if (job == nullptr || Failing(kHostWriteJobToFileOffset)) {
        return 0;
    }
    if (!NamedByHost(path)) {
        // An empty path follows a naming the host could not do; any other
        // is the module's invention.
        Expect(path != nullptr && path[0] == '\0',
               "HostWriteJobToFile: a path HostTempFileName did not give");
        Host().serverFailures.push_back("has no temporary copy to write");
        return 0;
    }
    std::string reason;
    if (!WriteServedCopy(*job, path, &reason)) {
        Host().serverFailures.push_back(std::string("cannot write the temporary copy ") + path +
                                        ": " + reason);
        return 0;
    }
    return 1;
}

MessageHandle VELMORA_CDECL OpenMessageFile(const char* path, std::int32_t flags) {
    Called("HostOpenMessageFile");
    Expect(flags == kOpenFlags, "HostOpenMessageFile: flags are not 0");
    std::string content;
    std::string reason;
    if (Host().faults.openMessageFails || Failing(kHostOpenMessageFileOffset)) {
        return nullptr;
    }
    if (!NamedByHost(path)) {
        Expect(path != nullptr && path[0] == '\0',
               "HostOpenMessageFile: a path HostTempFileName did not give");
        return nullptr;
    }
    // Only the header section: that is where the header asked for is, and
    // a large message is not read into memory once more. The file stays
    // open until closed, as servers hold it.
    std::intptr_t held = -1;
    if (!OpenHeldCopy(path, &content, &held, &reason)) {
        Host().serverFailures.push_back(std::string("cannot open the temporary copy ") + path +
                                        ": " + reason);
        return nullptr;
    }
    HostMessage* message = Host().NewMessage();
    message->path = path;
    message->held = held;
    message->lines = SplitIntoCrlfLines(content);
    ++Host().messagesOpened;
    return reinterpret_cast<MessageHandle>(message);
}

std::int32_t VELMORA_CDECL CloseMessageFile(MessageHandle handle) {
    Called("HostCloseMessageFile");
    HostMessage* message = AsMessage(handle, "HostCloseMessageFile");
    if (message == nullptr) {
        return 0;
    }
    Expect(!message->closed, "HostCloseMessageFile: closed twice");
    // The module must not delete the file before the host is done with it:
    // on Windows that delete fails and leaves somebody's mail on disk.
    if (message->held != -1) {
        Expect(HeldCopyStillNamed(message->held, message->path),
               "HostCloseMessageFile: " + message->path + " was deleted while open");
        CloseHeldCopy(message->held);
        message->held = -1;
    }
    message->closed = true;
    // What FindHeader returned dies with the message; make any later use of
    // it show up as junk.
    message->headerValue.assign(message->headerValue.size(), static_cast<char>(kJunkByte));
    ++Host().messagesClosed;
    return Failing(kHostCloseMessageFileOffset) ? 0 : 1;
}

const char* VELMORA_CDECL FindHeader(MessageHandle handle, const char* name, char* buffer,
                                     std::int32_t size) {
    Called("HostFindHeader");
    Expect(size == kHeaderBufferBytes, "HostFindHeader: size is not 256");
    Expect(name != nullptr && std::strcmp(name, kAutoreplyHeader) == 0,
           "HostFindHeader: name is not \"X-Autoreply-From\"");
    HostMessage* message = AsMessage(handle, "HostFindHeader");
    if (message == nullptr || Failing(kHostFindHeaderOffset)) {
        return nullptr;
    }
    const auto bytes = static_cast<std::size_t>(size);
    switch (Host().faults.headerAnswer) {
    case HeaderAnswer::kNull:
        return nullptr;
    case HeaderAnswer::kEmpty:
        buffer[0] = '\0';
        return buffer;
    case HeaderAnswer::kHostOwnedString:
        message->headerValue = Host().faults.hostOwnedHeader;
        return message->headerValue.c_str();
    case HeaderAnswer::kFillBuffer:
        std::memset(buffer, kFillByte, bytes);
        return buffer;
    case HeaderAnswer::kFromMessage:
        break;
    }
    bool found = false;
    const std::string value = FindHeaderValue(message->lines, name, &found);
    if (!found) {
        return nullptr;
    }
    CopyLikeStrncpy(buffer, value.substr(0, bytes - 1), bytes);
    return buffer;
}

std::int32_t VELMORA_CDECL Log(std::int32_t facility, std::int32_t code, const char* text) {
    Called("HostLog");
    Expect(facility == kLogFacilityCode, "HostLog: facility is not 10");
    if (Failing(kHostLogOffset)) {
        return 0;
    }
    Host().logs.push_back(LogEntry{facility, code, text != nullptr ? text : "(null)"});
    return 1;
}

// A service as the module calls it: nothing is thrown back into the
// module, whose frames know nothing of exceptions. When the host runs out
// of memory the service answers as failed (0, or null) and says so in
// `outOfMemory`, and the module goes on with a failure it can handle.
template <auto service> struct Guarded;
template <typename Result, typename... Args, Result(VELMORA_CDECL* service)(Args...)>
struct Guarded<service> {
    static Result VELMORA_CDECL Call(Args... args) noexcept {
        try {
            return service(args...);
        } catch (const std::bad_alloc&) {
            Host().outOfMemory = true;
            return Result{};
        }
    }
};

} // namespace

void InstallReferenceServices(unsigned char* block, const std::set<std::size_t>& missing) {
    const HostServiceTable table = {
        &Guarded<&QueryString>::Call,
        &Guarded<&CheckAddress>::Call,
        &Guarded<&ExtractAddress>::Call,
        &Guarded<&VerifyAddress>::Call,
        &Guarded<&CloseJob>::Call,
        &Guarded<&RewindJob>::Call,
        &Guarded<&ReleaseJob>::Call,
        &Guarded<&GetJobInfo>::Call,
        &Guarded<&CreateJob>::Call,
        &Guarded<&AddRecipient>::Call,
        &Guarded<&WriteLine>::Call,
        &Guarded<&ReadLine>::Call,
        &Guarded<&NextRecipient>::Call,
        &Guarded<&TempFileName>::Call,
        &Guarded<&OpenMessageFile>::Call,
        &Guarded<&CloseMessageFile>::Call,
        &Guarded<&FindHeader>::Call,
        &Guarded<&WriteJobToFile>::Call,
        &Guarded<&Log>::Call,
    };
    InstallServiceTable(block, table, missing);
}
