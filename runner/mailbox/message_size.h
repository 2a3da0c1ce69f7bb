// The size limit on a message: the most bytes of one message the runner
// holds in memory and hands to the module (--max-size). A larger message
// is too large, and is never read whole.
#ifndef VELMORA_RUNNER_MAILBOX_MESSAGE_SIZE_H
#define VELMORA_RUNNER_MAILBOX_MESSAGE_SIZE_H

#include <cstdint>
#include <limits>
#include <string>

// The limit when --max-size is not given: larger than any mail server
// accepts by default, small enough that a run over a mailbox of strangers'
// mail keeps to a few times this much memory.
constexpr std::uint64_t kDefaultMaxMessageSize = std::uint64_t{64} * 1024 * 1024;

// No limit at all (the reader's own default).
constexpr std::uint64_t kNoMessageSizeLimit = std::numeric_limits<std::uint64_t>::max();

// Reads a size: a number of bytes, or of KiB, MiB or GiB with a K, M or G
// after it (either case): "1000000", "512K", "64M", "1G". False unless it
// is at least one byte and fits.
bool ParseMessageSize(const std::string& text, std::uint64_t* bytes);

// A size as ParseMessageSize reads it, in the largest unit that divides it
// ("64M", "1536K", "1000").
std::string MessageSizeText(std::uint64_t bytes);

#endif
