// Building and submitting the replacement job; see send_replacement.h.
#include "daemon/send_replacement.h"

#include "daemon/header_filter.h"
#include "daemon/heap_string.h"
#include "daemon/message_id.h"
#include "daemon/module_state.h"
#include "daemon/sender_text.h"
#include "host/host_calls.h"

#include <cstring>

namespace {

// Hands every recipient of the incoming job to the new one, in the host's
// order. The host ends the list with a null pointer or an empty string.
void CopyRecipients(const HostServiceBlock* block, JobHandle incoming, JobHandle job) {
    unsigned char scratch[kRecipientScratchSize] = {};
    for (;;) {
        const char* address = HostNextRecipient(block, incoming, scratch);
        if (address == nullptr || address[0] == '\0') {
            return;
        }
        HostAddRecipient(block, job, address);
    }
}

// True when the host left a terminator within the buffer it was given.
// The buffer is all zeros before each read, so a zero last byte settles it
// at once; only a read that wrote up to the very end needs the search.
bool LineTerminated(const char* line) {
    return line[kLineBufferSize - 1] == '\0' || std::memchr(line, '\0', kLineBufferSize) != nullptr;
}

// True when the read text ends a line. A server that reads the way fgets
// does hands a line longer than the buffer over in pieces, and only the last
// piece ends with the line feed.
bool EndsLine(const char* text, std::size_t length) {
    return length != 0 && text[length - 1] == '\n';
}

// True when bytes follow the first terminator of a read that does not end
// its line. Such a read is no piece of a long line: the line held a NUL
// byte, which a string cannot carry on. Taken for a piece, it would glue
// the next line to it unjudged (an old Message-ID kept inside another
// field), so the copy must stop. The buffer is all zeros before each read,
// so any nonzero byte past the text gives it away. A read that ends its
// line is not looked at: junk after its terminator cannot change the line.
bool TextAfterTerminator(const char* line, std::size_t length) {
    for (std::size_t at = length + 1; at < kLineBufferSize; ++at) {
        if (line[at] != '\0') {
            return true;
        }
    }
    return false;
}

// Decides whether one read is copied. A read that starts a line is judged
// by the header filter and sets `keepLine` for the rest of its line; a later
// piece of the same line follows that decision. An empty read carries no
// text, so it neither starts nor ends a line: it is copied where a line
// would start, and follows its line otherwise.
bool CopyThisRead(const char* text, bool atLineStart, bool* keepLine, HeaderFilterState* state) {
    if (text[0] == '\0') {
        return atLineStart || *keepLine;
    }
    if (atLineStart) {
        *keepLine = KeepLine(state, text);
    }
    return *keepLine;
}

// Copies the incoming message into the new job, leaving out its old
// Message-ID field. Only a read that starts a line is judged; the further
// pieces of a long line share its fate, so that a piece is never taken for
// a line of its own (an empty line, a field name). Returns false when the
// host handed over a read that filled the whole buffer without a
// terminator (the line may have been cut) or a line holding a NUL byte
// (its rest cannot be passed on): a cut message must not be sent on.
bool CopyMessage(const HostServiceBlock* block, JobHandle incoming, JobHandle job) {
    // One byte more than the host may fill; it stays zero, so the buffer is
    // always a terminated string whatever the host writes.
    char line[kLineBufferSize + 1];
    HeaderFilterState state = HeaderFilterState::kHeader;
    bool atLineStart = true;
    bool keepLine = true;

    HostRewindJob(block, incoming);
    std::memset(line, 0, sizeof(line));
    while (HostReadLine(block, incoming, line)) {
        if (!LineTerminated(line)) {
            return false;
        }
        const std::size_t length = std::strlen(line);
        const bool endsLine = EndsLine(line, length);
        if (!endsLine && TextAfterTerminator(line, length)) {
            return false;
        }
        if (CopyThisRead(line, atLineStart, &keepLine, &state)) {
            HostWriteLine(block, job, line);
        }
        if (length != 0) {
            atLineStart = endsLine;
        }
        std::memset(line, 0, kLineBufferSize);
    }
    return true;
}

// The domain for the Message-ID: the server's own, or, when it has none,
// the configured sender's, copied into `fallback`. "<ar1@>" is no valid
// Message-ID, and receivers such as Gmail reject mail carrying one, so
// when the sender has no domain either (no "@", or nothing after the last
// one) there is none to give: empty, and the caller makes no replacement.
// Null when no memory could be had for the copy.
const char* ChooseMessageIdDomain(const char* sender, HeapString* fallback) {
    const char* stored = MessageIdDomain();
    if (stored[0] != '\0') {
        return stored;
    }
    std::size_t length = 0;
    const char* senderDomain = SenderDomain(sender, &length);
    return fallback->AssignBytes(senderDomain, length) ? fallback->Text() : nullptr;
}

} // namespace

bool SendReplacement(JobHandle incoming, const HostServiceBlock* block, const char* sender) {
    // The domain and room for the Message-ID line are taken before the job
    // exists, so that a shortage of memory cannot leave a half-built job
    // behind. Without a domain no job is made at all: a replacement whose
    // Message-ID receivers reject would be lost where the server drops the
    // original once the module has taken it, so the server keeps the
    // original instead.
    HeapString fallbackDomain;
    const char* domain = ChooseMessageIdDomain(sender, &fallbackDomain);
    HeapString messageIdLine;
    if (domain == nullptr || domain[0] == '\0' ||
        !messageIdLine.Reserve(MessageIdLineCapacity(domain))) {
        return false;
    }

    JobHandle job = HostCreateJob(block, sender);
    if (job == nullptr) {
        return false;
    }
    CopyRecipients(block, incoming, job);

    // The clock is read after the recipients, right before the line is used.
    FormatMessageIdLine(messageIdLine.Data(), IssueMessageIdNumber(), domain);
    HostWriteLine(block, job, messageIdLine.Text());

    // A job whose copy failed is released without being closed, so the host
    // never sends it; the original stays with the host untouched.
    const bool copied = CopyMessage(block, incoming, job);
    const bool accepted = copied && HostCloseJob(block, job) > 0;
    HostReleaseJob(block, job);
    return accepted;
}
