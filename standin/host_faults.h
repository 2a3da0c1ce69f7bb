// What our stand-in server can be told to do wrong, or oddly, so that tests
// can walk the module down every failure path a real mail server might
// open. The defaults describe a healthy host.
#ifndef VELMORA_STANDIN_HOST_FAULTS_H
#define VELMORA_STANDIN_HOST_FAULTS_H

#include "daemon/entry_points.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

// How HostFindHeader answers.
enum class HeaderAnswer {
    kFromMessage,     // the header's value, copied into the caller's buffer
    kNull,            // a null pointer, whatever the message holds
    kEmpty,           // an empty string
    kHostOwnedString, // `hostOwnedHeader`, from the host's own memory, uncut
    kFillBuffer,      // fills the whole buffer with 'a', no terminator
};

// Whether and when the host passes the jobs the module submits through
// DAEMON again, as a real server passes every job it queues through its
// daemons: at once, inside HostCloseJob on the same thread, or later, from
// its queue (RunQueuedJobs), after the call that submitted them returned.
enum class FeedBack { kNever, kInsideClose, kFromQueue };

// How HostNextRecipient ends the list.
enum class RecipientListEnd { kNullPointer, kEmptyString };

struct HostFaults {
    // HostQueryString(3) answers null, whatever the server's domain.
    bool domainIsNull = false;

    // HostGetJobInfo leaves the record as it finds it.
    bool jobInfoUntouched = false;

    // HostOpenMessageFile answers null.
    bool openMessageFails = false;

    HeaderAnswer headerAnswer = HeaderAnswer::kFromMessage;
    std::string hostOwnedHeader;

    // Address tests. The raw 32-bit results of Check and Verify are given,
    // so that tests can set bits above the low byte.
    bool extractFails = false;
    std::uint32_t checkResult = 1;
    std::uint32_t verifyResult = 1;

    // HostCreateJob answers null.
    bool createJobFails = false;

    // HostCloseJob's signed result.
    std::int32_t closeResult = 1;

    // HostReadLine hands a line too long for the buffer over cut, the
    // buffer full and no terminator (strncpy-style), instead of in
    // terminated pieces (fgets-style, the default).
    bool cutLongLines = false;

    // HostReadLine fills the whole buffer without a terminator when asked
    // for this line (0-based); SIZE_MAX never.
    std::size_t fillBufferAtLine = SIZE_MAX;

    // HostReadLine writes this line (0-based) with its terminator and then
    // junk up to the buffer's last byte, as a host reusing a dirty buffer
    // might; SIZE_MAX never.
    std::size_t junkAfterTerminatorAtLine = SIZE_MAX;

    // HostReadLine writes only the bytes of a line (or of a piece of a
    // long one) and no terminator, relying on the buffer being all zeros,
    // as the module promises it is before every read.
    bool lineBytesOnly = false;

    // The message is kept with the line ends it was given (LF only, say),
    // as mail stored by a Unix program is, instead of with CR LF.
    bool keepLineEnds = false;

    // HostTempFileName writes a path of all 128 bytes of the buffer, with
    // no room for a terminator.
    bool tempPathFillsBuffer = false;

    // HostReadLine hands over one empty read (nothing but the terminator,
    // with a "line read" result) before this line (0-based); SIZE_MAX never.
    std::size_t emptyReadBeforeLine = SIZE_MAX;

    RecipientListEnd recipientListEnd = RecipientListEnd::kNullPointer;

    // Jobs the module submitted (closed with a result above 0) go through
    // `feedBackDaemon` again, with `feedBackSender` as its parameter. A
    // replacement of a replacement more than `feedBackGenerations` deep is
    // a mail loop: it is reported as a violation and not fed back.
    FeedBack feedBack = FeedBack::kNever;
    DaemonEntryFn feedBackDaemon = nullptr;
    const char* feedBackSender = nullptr;
    unsigned feedBackGenerations = 3;

    // Service slots (by 32-bit byte offset) left as null pointers.
    std::set<std::size_t> missingServices;

    // Services (by 32-bit byte offset) that answer as a failed call: a null
    // pointer, 0 or "no", with nothing done (no record filled, no path
    // given, no file written, no line read, written or logged). A failing
    // close or release still ends the object; only its answer says failure.
    std::set<std::size_t> failingServices;
};

#endif
