// DAEMON: looks at each job the host passes us and re-sends automatic
// replies under the configured sender.
#include "daemon/entry_points.h"
#include "daemon/heap_string.h"
#include "daemon/log_texts.h"
#include "daemon/originator_check.h"
#include "daemon/platform.h"
#include "daemon/send_replacement.h"
#include "daemon/sender_text.h"
#include "host/host_calls.h"

#include <cstring>

namespace {

constexpr char kNullReversePath[] = "<>";
constexpr std::size_t kNullReversePathLength = sizeof(kNullReversePath) - 1;
constexpr const char* kAutoreplyHeaderName = "X-Autoreply-From";

constexpr std::int32_t kNotHandled = 0;
constexpr std::int32_t kReplacementSent = 1;

// True when the `length` bytes at `text` are exactly the null reverse-path.
// Compared byte by byte in our own code, so that the module imports no
// compare function of the C library in any build, optimised or not.
bool IsNullReversePath(const char* text, std::size_t length) {
    if (length != kNullReversePathLength) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] != kNullReversePath[i]) {
            return false;
        }
    }
    return true;
}

// True when the job's envelope sender is exactly the null reverse-path.
bool HasNullSender(const HostServiceBlock* block, JobHandle job) {
    JobInfoRecord record;
    // Cleared so that a host that leaves the record alone gives us a null
    // sender pointer rather than stack garbage.
    std::memset(&record, 0, sizeof(record));
    HostGetJobInfo(block, job, &record);
    const char* sender = JobInfoSender(&record);
    return sender != nullptr && IsNullReversePath(sender, std::strlen(sender));
}

// Has the host write the job's message to a temporary file and reads the
// "X-Autoreply-From" value from it into `value` (empty when there is none).
// The temporary file is deleted on every path: it holds somebody's mail.
// Returns false only when the value could not be read or kept.
bool ReadAutoreplyHeader(const HostServiceBlock* block, JobHandle job, HeapString* value) {
    char path[kTempPathBufferSize + 1] = {};      // last byte stays zero
    char buffer[kHeaderValueBufferSize + 1] = {}; // last byte stays zero

    HostTempFileName(block, path);
    HostWriteJobToFile(block, job, path);
    MessageHandle message = HostOpenMessageFile(block, path);
    if (message == nullptr) {
        PlatformDeleteFile(path);
        return false;
    }
    // The host's answer may live inside the message it keeps open, so it is
    // copied before the message is closed.
    const bool kept = value->Assign(HostFindHeader(block, message, kAutoreplyHeaderName, buffer));
    HostCloseMessageFile(block, message);
    PlatformDeleteFile(path);
    return kept;
}

// The header value comes from whoever sent the message. Written verbatim
// into the log, a CR or LF in it would let any sender forge log lines of
// their own, so in the log text every control byte (0x00-0x1F, 0x7F) is
// shown as '?'. Other bytes, 8-bit ones included, stay as they are; the
// value itself, handed to the address tests, is not touched.
void MaskControlBytes(char* text) {
    constexpr unsigned char kLastControlByte = 0x1F;
    constexpr unsigned char kDeleteByte = 0x7F;
    constexpr char kMask = '?';
    for (char* at = text; *at != '\0'; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte <= kLastControlByte || byte == kDeleteByte) {
            *at = kMask;
        }
    }
}

// True when the configured sender can carry a replacement: not empty and
// not the null reverse-path. Under either, the replacement would be an
// automatic reply once more (null sender, same X-Autoreply-From header),
// and a server that passes the jobs we submit through its daemons again
// would hand it back to us, again and again: a mail loop. That is what a
// missing daemon parameter gives, also when the server calls us after
// start-up refused it. Spaces and tabs around the sender do not count: a
// server that trims them would turn " <>" into "<>" all the same.
bool SenderCanCarryReplacement(const char* sender) {
    if (sender == nullptr) {
        return false;
    }
    std::size_t length = 0;
    const char* text = TrimmedSender(sender, &length);
    return length != 0 && !IsNullReversePath(text, length);
}

} // namespace

extern "C" VELMORA_EXPORT VELMORA_ENTRY_ALIGN std::int32_t VELMORA_CDECL
DAEMON(JobHandle job, const HostServiceBlock* block, const void* /*unused3*/, const char* sender) {
    if (block == nullptr || !HasNullSender(block, job)) {
        return kNotHandled;
    }
    HeapString value;
    if (!ReadAutoreplyHeader(block, job, &value) || value.Empty()) {
        return kNotHandled;
    }

    HeapString found;
    if (!found.Assign(kLogAutoreplyPrefix, value.Text(), kLogAutoreplySuffix)) {
        return kNotHandled;
    }
    MaskControlBytes(found.Data());
    HostLog(block, kLogCodeJob, found.Text());

    if (!CheckOriginator(value.Text(), block)) {
        return kNotHandled;
    }
    if (SenderCanCarryReplacement(sender) && SendReplacement(job, block, sender)) {
        HostLog(block, kLogCodeJob, kLogModified);
        return kReplacementSent;
    }
    HostLog(block, kLogCodeJob, kLogNotModified);
    return kNotHandled;
}
