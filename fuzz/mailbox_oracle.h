// What any reading of an input must satisfy, checked without the
// reader's own rules: its messages, with what introduced and closed them,
// and the bytes its notes say it skipped cover the input exactly once, in
// order; each message's text is its bytes as stored, less ">From "
// quoting where the reader says so (a message file: less lone CRs; an
// .emlx file: the bytes its count line counts); a
// separator line carries a date; a skip is only of what may be skipped.
#ifndef VELMORA_FUZZ_MAILBOX_ORACLE_H
#define VELMORA_FUZZ_MAILBOX_ORACLE_H

#include "runner/message_stream.h"

#include <cstddef>
#include <string>
#include <vector>

// What a reading gave, for comparing with what was laid out.
struct Reading {
    std::vector<std::string> texts;
    std::vector<std::string> senders;
    std::vector<StreamNote::Kind> notes;
};

// Reads `input` through MessageStream in `chunk`-byte reads, aborting on a
// broken promise, and returns what it gave.
Reading ReadChecked(const std::string& input, std::size_t chunk);

#endif
