// The fuzzed host's services. Each checks the call's fixed arguments and
// handles (aborting on misuse, so the fuzzer reports it), records what the
// module did, and answers with whatever the input says next.
#include "fuzz/fuzzed_services.h"

#include "fuzz/fuzz_require.h"
#include "fuzz/fuzzed_answers.h"
#include "fuzz/fuzzed_host.h"
#include "host/service_signatures.h"
#include "standin/host_contract.h"
#include "standin/service_table.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

using namespace host_contract;

constexpr std::uint32_t kTruthMask = 0xFF;
constexpr const char* kTempDirectory = "tmp/";

// Bounds on what one input can make the host hand out, so that a run stays
// short; a real host ends its lists too.
constexpr std::size_t kMaxRecipients = 1000;
constexpr std::size_t kMaxDomainLength = 255;
constexpr std::size_t kMaxSenderLength = 300;
constexpr std::size_t kMaxRecipientLength = 300;
constexpr std::size_t kMaxHostOwnedHeaderLength = 600;
// A few bytes of input can ask for a 9999-byte line, and the module clears
// its 10000-byte buffer for every line; past this many lines or bytes in
// one message the host says the message has ended, which keeps each run
// fast without losing any shape of line.
constexpr std::size_t kMaxMessageBytes = 64 * 1024;
constexpr std::size_t kMaxMessageLines = 200;

FuzzedHost& Host() {
    return *FuzzedHost::Active();
}

FuzzedDataProvider& In() {
    return Host().Input();
}

DaemonRound& Round() {
    return Host().Round();
}

// A result the module reads as a number or a truth value.
std::uint32_t AnyBits() {
    return FuzzedEdgeBits(In());
}

std::int32_t AnyResult() {
    return static_cast<std::int32_t>(AnyBits());
}

FuzzedJob* IncomingJob(JobHandle handle) {
    auto* job = reinterpret_cast<FuzzedJob*>(handle);
    Require(job == Round().incoming.get());
    return job;
}

FuzzedJob* CreatedJob(JobHandle handle) {
    auto* job = reinterpret_cast<FuzzedJob*>(handle);
    for (const auto& created : Round().created) {
        if (created.get() == job) {
            return job;
        }
    }
    std::abort(); // never the incoming job, never a stranger
}

// A created job that may still be written to.
FuzzedJob* OpenCreatedJob(JobHandle handle) {
    FuzzedJob* job = CreatedJob(handle);
    Require(job->closeCalls == 0 && job->releaseCalls == 0);
    return job;
}

FuzzedMessage* OpenMessage(MessageHandle handle) {
    auto* message = reinterpret_cast<FuzzedMessage*>(handle);
    for (const auto& opened : Round().messages) {
        if (opened.get() == message) {
            Require(message->closeCalls == 0);
            return message;
        }
    }
    std::abort();
}

// Writes `text` into a host-filled buffer of `size` bytes the way strncpy
// does: without a terminator when the text fills the buffer.
void CopyLikeStrncpy(char* buffer, const std::string& text, std::size_t size) {
    const std::size_t count = text.size() < size ? text.size() + 1 : size;
    std::memcpy(buffer, text.c_str(), count);
}

// Sometimes scribbles over a work buffer the module lent the host, up to
// its last byte, as a host may.
void MaybeScribble(char* buffer, std::size_t size) {
    if (In().ConsumeBool()) {
        CopyLikeStrncpy(buffer, FuzzedText(In(), size), size);
    }
}

const char* VELMORA_CDECL QueryString(std::int32_t item) {
    Require(item == kDomainItem && Host().InStartup());
    Host().domainQueried = true;
    Host().domainIsNull = In().ConsumeBool();
    if (Host().domainIsNull) {
        return nullptr;
    }
    Host().domain = FuzzedText(In(), kMaxDomainLength);
    return Host().domain.c_str();
}

std::int32_t VELMORA_CDECL ExtractAddress(char* out, const char* text, std::int32_t limit) {
    Require(limit == kExtractLimit && text != nullptr);
    Require(Round().header.called && text == Round().header.value);
    const std::int32_t answer = AnyResult();
    Round().extractSaidYes = answer != 0;
    if (answer != 0) {
        const std::string address = FuzzedText(In(), static_cast<std::size_t>(limit));
        std::memcpy(out, address.c_str(), address.size() + 1);
    }
    return answer;
}

std::uint32_t VELMORA_CDECL CheckAddress(const char* address, char* bufferA, char* bufferB) {
    Require(address != nullptr && Round().extractSaidYes);
    MaybeScribble(bufferA, kAddressBufferBytes);
    MaybeScribble(bufferB, kAddressBufferBytes);
    const std::uint32_t answer = AnyBits();
    Round().checkSaidYes = (answer & kTruthMask) != 0;
    return answer;
}

std::uint32_t VELMORA_CDECL VerifyAddress(const char* address, char* bufferA, char* bufferB) {
    Require(address != nullptr && Round().checkSaidYes);
    MaybeScribble(bufferA, kAddressBufferBytes);
    MaybeScribble(bufferB, kAddressBufferBytes);
    const std::uint32_t answer = AnyBits();
    Round().verifySaidYes = (answer & kTruthMask) != 0;
    return answer;
}

std::int32_t VELMORA_CDECL CloseJob(JobHandle handle) {
    FuzzedJob* job = OpenCreatedJob(handle);
    ++job->closeCalls;
    job->closeAnswer = AnyResult();
    return job->closeAnswer;
}

std::int32_t VELMORA_CDECL RewindJob(JobHandle handle, std::int32_t mode) {
    Require(mode == kRewindMode);
    IncomingJob(handle);
    Round().rewound = true;
    return AnyResult();
}

std::int32_t VELMORA_CDECL ReleaseJob(JobHandle handle) {
    FuzzedJob* job = CreatedJob(handle);
    Require(job->releaseCalls == 0);
    ++job->releaseCalls;
    return AnyResult();
}

// How HostGetJobInfo answers.
enum JobInfoAnswer : std::uint8_t {
    kRecordUntouched,
    kNullReversePathSender,
    kOtherSender,
    kNullSenderPointer,
    kLastJobInfoAnswer = kNullSenderPointer,
};

std::int32_t VELMORA_CDECL GetJobInfo(JobHandle handle, JobInfoRecord* record) {
    FuzzedJob* job = IncomingJob(handle);
    const auto answer = In().ConsumeIntegralInRange<std::uint8_t>(0, kLastJobInfoAnswer);
    if (answer == kRecordUntouched) {
        return AnyResult();
    }
    std::memset(record->bytes, In().ConsumeIntegral<unsigned char>(), kJobRecordBytes);
    const char* sender = nullptr;
    if (answer != kNullSenderPointer) {
        job->sender = answer == kNullReversePathSender ? kNullReversePath
                                                       : FuzzedText(In(), kMaxSenderLength);
        sender = job->sender.c_str();
        Round().senderIsNullReversePath = job->sender == kNullReversePath;
    }
    std::memcpy(record->bytes + kSenderPointerOffset, &sender, sizeof(sender));
    return AnyResult();
}

JobHandle VELMORA_CDECL CreateJob(std::int32_t kind, const char* sender, const char* options) {
    Require(kind == kCreateKind && sender != nullptr && options != nullptr &&
            std::strcmp(options, kCreateOptions) == 0);
    Require(Round().verifySaidYes && Round().created.empty());
    // Never under an empty sender or the null reverse-path, spaces and tabs
    // around it aside (servers trim them): the replacement would be an
    // automatic reply again, and a server that feeds submitted jobs back
    // through its daemons would loop.
    std::string trimmed = sender;
    trimmed.erase(0, trimmed.find_first_not_of(" \t"));
    trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
    Require(!trimmed.empty() && trimmed != kNullReversePath);
    if (In().ConsumeBool()) {
        return nullptr;
    }
    Round().created.push_back(std::make_unique<FuzzedJob>());
    Round().created.back()->sender = sender;
    return reinterpret_cast<JobHandle>(Round().created.back().get());
}

std::int32_t VELMORA_CDECL AddRecipient(JobHandle handle, const char* address) {
    Require(address != nullptr);
    OpenCreatedJob(handle)->recipients.push_back(address);
    return AnyResult();
}

std::int32_t VELMORA_CDECL WriteLine(JobHandle handle, const char* text) {
    Require(text != nullptr && std::strlen(text) < static_cast<std::size_t>(kReadLineBytes));
    OpenCreatedJob(handle)->lines.push_back(text);
    return AnyResult();
}

// Notes what the module may make of a terminated read: the text up to the
// first NUL is a line, or a piece of one, unless that text does not end its
// line and bytes follow the NUL. Then the line held a NUL byte (or the
// host left junk after a piece) and the copy must stop there.
void RecordRead(const char* buffer, DaemonRound* round) {
    const std::string text(buffer);
    const bool endsLine = !text.empty() && text.back() == '\n';
    const char* rest = buffer + text.size() + 1;
    const char* end = buffer + kReadLineBytes;
    if (!endsLine && std::any_of(rest, end, [](char c) { return c != '\0'; })) {
        round->unterminatedLineRead = true;
        return;
    }
    round->linesRead.push_back(text);
}

std::int32_t VELMORA_CDECL ReadLine(JobHandle handle, char* buffer, std::int32_t size) {
    Require(size == kReadLineBytes);
    IncomingJob(handle);
    DaemonRound& round = Round();
    round.readBeforeRewind = round.readBeforeRewind || !round.rewound;
    round.readAfterUnterminated = round.readAfterUnterminated || round.unterminatedLineRead;
    if (round.bytesRead >= kMaxMessageBytes || round.linesRead.size() >= kMaxMessageLines) {
        return 0;
    }
    std::string line;
    switch (FuzzedMessageLine(In(), &line)) {
    case LineShape::kEnd:
        return 0;
    case LineShape::kUnterminated:
        std::memset(buffer, In().ConsumeIntegralInRange<char>(1, CHAR_MAX), kReadLineBytes);
        round.unterminatedLineRead = true;
        round.bytesRead += kReadLineBytes;
        break;
    case LineShape::kLine:
        if (In().ConsumeBool()) {
            // A host reusing a dirty buffer: junk after the terminator, up
            // to the buffer's last byte.
            std::memset(buffer, In().ConsumeIntegralInRange<char>(1, CHAR_MAX), kReadLineBytes);
        }
        CopyLikeStrncpy(buffer, line, kReadLineBytes);
        round.bytesRead += line.size();
        RecordRead(buffer, &round);
        break;
    }
    const std::int32_t answer = AnyResult();
    return answer != 0 ? answer : 1; // any nonzero value means "a line"
}

// How HostNextRecipient answers.
enum RecipientAnswer : std::uint8_t {
    kNullEnd,
    kEmptyEnd,
    kAddress,
    kLastRecipientAnswer = kAddress,
};

const char* VELMORA_CDECL NextRecipient(JobHandle handle, std::int32_t start, void* scratch) {
    Require(start == kRecipientStart && scratch != nullptr);
    FuzzedJob* job = IncomingJob(handle);
    std::memset(scratch, In().ConsumeIntegral<unsigned char>(), kRecipientScratchBytes);
    DaemonRound& round = Round();
    if (round.recipientsGiven.size() >= kMaxRecipients) {
        return nullptr;
    }
    switch (In().ConsumeIntegralInRange<std::uint8_t>(0, kLastRecipientAnswer)) {
    case kNullEnd:
        return nullptr;
    case kEmptyEnd:
        return "";
    default:
        break;
    }
    std::string address = FuzzedText(In(), kMaxRecipientLength);
    if (address.empty()) {
        address = "@";
    }
    round.recipientsGiven.push_back(address);
    job->recipients.push_back(address); // keeps the string alive for the module
    return job->recipients.back().c_str();
}

// How HostTempFileName answers.
enum TempPathAnswer : std::uint8_t {
    kBufferUntouched,
    kShortPath,
    kBufferFullPath,
    kLastTempPathAnswer = kBufferFullPath,
};

std::int32_t VELMORA_CDECL TempFileName(std::int32_t kind, char* buffer, std::int32_t flags) {
    Require(kind == kTempKind && flags == kTempFlags);
    switch (In().ConsumeIntegralInRange<std::uint8_t>(0, kLastTempPathAnswer)) {
    case kBufferUntouched:
        break;
    case kShortPath:
        CopyLikeStrncpy(buffer, kTempDirectory + FuzzedText(In(), kTempPathBytes), kTempPathBytes);
        break;
    case kBufferFullPath:
        std::memset(buffer, In().ConsumeIntegralInRange<char>(1, CHAR_MAX), kTempPathBytes);
        break;
    }
    return AnyResult();
}

std::int32_t VELMORA_CDECL WriteJobToFile(JobHandle handle, const char* path, std::int32_t mode) {
    Require(mode == kWriteMode && path != nullptr);
    IncomingJob(handle);
    if (In().ConsumeBool()) {
        Host().files.insert(path);
    }
    return AnyResult();
}

MessageHandle VELMORA_CDECL OpenMessageFile(const char* path, std::int32_t flags) {
    Require(flags == kOpenFlags && path != nullptr);
    if (Host().files.count(path) == 0 || In().ConsumeBool()) {
        return nullptr;
    }
    Round().messages.push_back(std::make_unique<FuzzedMessage>());
    return reinterpret_cast<MessageHandle>(Round().messages.back().get());
}

std::int32_t VELMORA_CDECL CloseMessageFile(MessageHandle handle) {
    FuzzedMessage* message = OpenMessage(handle);
    ++message->closeCalls;
    // What HostFindHeader returned from host memory dies with the message.
    message->hostOwnedValue.assign(message->hostOwnedValue.size(), '#');
    return AnyResult();
}

// How HostFindHeader answers.
enum HeaderAnswer : std::uint8_t {
    kNoHeader,
    kEmptyValue,
    kValueInBuffer,
    kBufferFilledValue,
    kHostOwnedValue,
    kLastHeaderAnswer = kHostOwnedValue,
};

const char* VELMORA_CDECL FindHeader(MessageHandle handle, const char* name, char* buffer,
                                     std::int32_t size) {
    Require(size == kHeaderBufferBytes && name != nullptr &&
            std::strcmp(name, kAutoreplyHeader) == 0);
    FuzzedMessage* message = OpenMessage(handle);
    HeaderAnswerRecord& record = Round().header;
    record.called = true;
    const auto bytes = static_cast<std::size_t>(size);
    switch (In().ConsumeIntegralInRange<std::uint8_t>(0, kLastHeaderAnswer)) {
    case kNoHeader:
        record.isNull = true;
        return nullptr;
    case kEmptyValue:
        record.value.clear();
        break;
    case kValueInBuffer:
        record.value = FuzzedText(In(), bytes);
        break;
    case kBufferFilledValue:
        record.value.assign(bytes, In().ConsumeIntegralInRange<char>(1, CHAR_MAX));
        break;
    case kHostOwnedValue:
        message->hostOwnedValue = FuzzedText(In(), kMaxHostOwnedHeaderLength);
        record.value = message->hostOwnedValue;
        return message->hostOwnedValue.c_str();
    }
    CopyLikeStrncpy(buffer, record.value, bytes);
    return buffer;
}

std::int32_t VELMORA_CDECL Log(std::int32_t facility, std::int32_t code, const char* text) {
    Require(facility == kLogFacilityCode && text != nullptr);
    FuzzedLog entry{code, text};
    if (Host().InStartup()) {
        Host().startupLogs.push_back(entry);
    } else {
        Round().logs.push_back(entry);
    }
    return AnyResult();
}

} // namespace

void InstallFuzzedServices(unsigned char* block, const std::set<std::size_t>& missing) {
    const HostServiceTable table = {
        &QueryString,      &CheckAddress, &ExtractAddress, &VerifyAddress, &CloseJob,
        &RewindJob,        &ReleaseJob,   &GetJobInfo,     &CreateJob,     &AddRecipient,
        &WriteLine,        &ReadLine,     &NextRecipient,  &TempFileName,  &OpenMessageFile,
        &CloseMessageFile, &FindHeader,   &WriteJobToFile, &Log,
    };
    InstallServiceTable(block, table, missing);
}
