// Mailboxes laid out from a fuzzer's bytes the way mail programs write
// them, with the messages a reader must give back: mbox (mboxrd quoting,
// or quoting only what could pass for a separator; Thunderbird's
// separators without a blank line before them; mboxcl2's Content-Length:
// that is right, or wrong and landing inside a line) and MMDF; LF or CR LF
// per message; separator dates in the forms mail programs use; a
// byte-order mark and blank lines before the first message; messages
// marked deleted.
#ifndef VELMORA_FUZZ_MAILBOX_LAYOUT_H
#define VELMORA_FUZZ_MAILBOX_LAYOUT_H

#include "fuzz/mailbox_oracle.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

struct MailboxLayout {
    std::string bytes;
    Reading expected; // the messages, their senders and the notes, in order
};

// Lays out a mailbox of one to a few messages from `fuzz`.
MailboxLayout LayOutMailbox(FuzzedDataProvider* fuzz);

#endif
