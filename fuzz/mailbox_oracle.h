// What any reading of an input must satisfy, checked without the
// reader's own rules: its messages, with what introduced and closed them,
// and the bytes its notes say it skipped cover the input exactly once, in
// order; each message's text is its bytes as stored, less ">From "
// quoting where the reader says so (a message file: less lone CRs; an
// .emlx file: the bytes its count line counts); a separator line carries
// a date; a skip is only of what may be skipped; a message is too large
// exactly when its stored text is over the limit.
#ifndef VELMORA_FUZZ_MAILBOX_ORACLE_H
#define VELMORA_FUZZ_MAILBOX_ORACLE_H

#include "runner/mailbox/message_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a reading gave, for comparing with what was laid out.
struct Reading {
    std::vector<std::string> texts;
    std::vector<std::string> senders;
    std::vector<StreamNote::Kind> notes;
};

// `text` with every CR that no LF follows made an LF: the one line-end
// rule the reader applies to every message it gives.
std::string MendCrs(std::string text);

// Reads `input` through MessageStream in `chunk`-byte reads with a size
// limit of `maxSize` bytes, aborting on a broken promise, and returns what
// it gave (a message over the limit as an empty text).
Reading ReadChecked(const std::string& input, std::size_t chunk,
                    std::uint64_t maxSize = kNoMessageSizeLimit);

#endif
