// What a message's own header lines tell the mailbox reader: the length
// of its body that mboxcl2 writers record in Content-Length:, and whether
// Thunderbird has marked it deleted in X-Mozilla-Status: (a deleted
// message stays in the file until the folder is compacted).
#ifndef VELMORA_RUNNER_MAILBOX_MAILBOX_HEADERS_H
#define VELMORA_RUNNER_MAILBOX_MAILBOX_HEADERS_H

#include "platform/header_reader.h"

#include <cstddef>
#include <cstdint>

struct MailboxHeaders {
    bool hasContentLength = false;
    std::uint64_t contentLength = 0;
    bool deleted = false;
};

// What the header lines read so far have said: the first Content-Length:
// and X-Mozilla-Status: fields of the header section (LF or CR LF lines).
// A field whose value is not a plain number (decimal, or hex for the
// status) is taken as absent. Read a line at a time by the mailbox reader,
// which reads each line of the section anyway.
struct MailboxHeaderScan {
    MailboxHeaders found;
    bool sawLength = false;
    bool sawStatus = false;
};

// Takes the `length` bytes at `line`, a line of a header section, which a
// HeaderReader answered `read`.
void ReadMailboxHeaderLine(const char* line, std::size_t length, const HeaderLine& read,
                           MailboxHeaderScan* scan);

#endif
