// libFuzzer target: the runner's reader of message files and mailboxes,
// reading from memory in reads of a few bytes (the first input byte
// chooses how many), so that every line, separator and CR LF pair falls
// across reads somewhere. Two modes, by that byte's top bit:
//   - raw: any bytes are an input; whatever the reader makes of them must
//     pass the checks of mailbox_oracle.h (nothing dropped or doubled,
//     texts true to the stored bytes, skips only of what may go), with a
//     size limit of 0 to 255 bytes, the next byte, when a bit of the first
//     byte says so;
//   - laid out: the rest of the bytes lay out a mailbox as mail programs
//     write it (mailbox_layout.h), and the reader must give back exactly
//     its messages, senders and notes, and pass the same checks.
#include "fuzz/fuzz_require.h"
#include "fuzz/mailbox_layout.h"
#include "fuzz/mailbox_oracle.h"

#include <cstdint>
#include <string>

namespace {

constexpr std::uint8_t kLaidOut = 0x80;
constexpr std::uint8_t kWholeChunk = 0x40; // reads of a usual size
constexpr std::uint8_t kChunkBits = 0x0F;  // otherwise 1 to 16 bytes a read
constexpr std::size_t kUsualChunk = 4096;
constexpr std::uint8_t kSizeLimited = 0x20; // raw input: the next byte is a size limit

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    const std::size_t chunk = (mode & kWholeChunk) != 0 ? kUsualChunk : 1 + (mode & kChunkBits);
    if ((mode & kLaidOut) == 0) {
        std::size_t skip = 1;
        std::uint64_t maxSize = kNoMessageSizeLimit;
        if ((mode & kSizeLimited) != 0 && size > 1) {
            maxSize = data[1];
            skip = 2;
        }
        ReadChecked(std::string(reinterpret_cast<const char*>(data) + skip, size - skip), chunk,
                    maxSize);
        return 0;
    }
    FuzzedDataProvider fuzz(data + 1, size - 1);
    const MailboxLayout layout = LayOutMailbox(&fuzz);
    const Reading got = ReadChecked(layout.bytes, chunk);
    Require(got.texts == layout.expected.texts);
    Require(got.senders == layout.expected.senders);
    Require(got.notes == layout.expected.notes);
    return 0;
}
