// Layout of the host's service block and of the job record it fills.
//
// The host hands us a packed, little-endian block: two version bytes near
// the front and, from byte 10 on, a table of function pointers. On the
// 32-bit host every slot is four bytes wide, so service k lives at byte
// 10 + 4k. Each service below is named by that 32-bit byte offset; on a
// 64-bit build the same slot index k is kept and the slot is pointer-sized,
// i.e. it lives at byte 10 + k * sizeof(void*). On 32-bit both rules agree.
//
// The module never writes the block and never dereferences it through a
// cast to a wider type: every field is copied out byte-wise (memcpy), since
// the pointers sit at offsets that are not pointer-aligned.
#ifndef VELMORA_HOST_SERVICE_BLOCK_H
#define VELMORA_HOST_SERVICE_BLOCK_H

#include <cstddef>
#include <cstdint>

// Opaque host objects. The module only passes these pointers back to the
// host; a null pointer means the host could not provide the object.
struct HostJob;
struct HostMessage;
typedef HostJob* JobHandle;
typedef HostMessage* MessageHandle;

// Version bytes.
constexpr std::size_t kBlockMajorVersionOffset = 4;
constexpr std::size_t kBlockMinorVersionOffset = 5;

// Service table geometry, as laid out by the 32-bit host.
constexpr std::size_t kServiceTableOffset = 10;
constexpr std::size_t kHostSlotWidth32 = 4;

// Byte offsets of the services we use, as on the 32-bit host.
constexpr std::size_t kHostQueryStringOffset = 10;
constexpr std::size_t kHostCheckAddressOffset = 14;
constexpr std::size_t kHostExtractAddressOffset = 22;
constexpr std::size_t kHostVerifyAddressOffset = 42;
constexpr std::size_t kHostCloseJobOffset = 78;
constexpr std::size_t kHostRewindJobOffset = 82;
constexpr std::size_t kHostReleaseJobOffset = 86;
constexpr std::size_t kHostGetJobInfoOffset = 102;
constexpr std::size_t kHostCreateJobOffset = 106;
constexpr std::size_t kHostAddRecipientOffset = 110;
constexpr std::size_t kHostWriteLineOffset = 114;
constexpr std::size_t kHostReadLineOffset = 118;
constexpr std::size_t kHostNextRecipientOffset = 122;
constexpr std::size_t kHostTempFileNameOffset = 198;
constexpr std::size_t kHostOpenMessageFileOffset = 214;
constexpr std::size_t kHostCloseMessageFileOffset = 222;
constexpr std::size_t kHostFindHeaderOffset = 254;
constexpr std::size_t kHostWriteJobToFileOffset = 258;
constexpr std::size_t kHostLogOffset = 358;

// The highest offset we use decides how many slots a block must hold.
constexpr std::size_t kHighestServiceOffset = kHostLogOffset;

// Slot index of the service found at a 32-bit byte offset.
constexpr std::size_t ServiceSlotIndex(std::size_t offset32) {
    return (offset32 - kServiceTableOffset) / kHostSlotWidth32;
}

// Where that slot lives in a block built for this platform's pointer size.
constexpr std::size_t ServiceSlotPosition(std::size_t offset32) {
    return kServiceTableOffset + ServiceSlotIndex(offset32) * sizeof(void*);
}

constexpr std::size_t kServiceSlotCount = ServiceSlotIndex(kHighestServiceOffset) + 1;

// Smallest block that holds every slot we read.
constexpr std::size_t kServiceBlockMinimumSize =
    kServiceTableOffset + kServiceSlotCount * sizeof(void*);

// The service block as raw bytes. The struct only names the storage; all
// reads go through HostBlockByte / the typed calls in host_calls.h.
struct HostServiceBlock {
    unsigned char bytes[kServiceBlockMinimumSize];
};

static_assert(sizeof(HostServiceBlock) == kServiceBlockMinimumSize, "block must be packed");
static_assert(ServiceSlotPosition(kHostLogOffset) == kHostLogOffset || sizeof(void*) != 4,
              "on 32-bit the slot positions are the host's byte offsets");

// The job record that HostGetJobInfo fills: 122 bytes, of which we read only
// the pointer to the envelope sender (MAIL FROM) string.
constexpr std::size_t kJobInfoRecordSize = 122;
constexpr std::size_t kJobInfoSenderOffset = 10;

struct JobInfoRecord {
    unsigned char bytes[kJobInfoRecordSize];
};

static_assert(kJobInfoSenderOffset + sizeof(void*) <= kJobInfoRecordSize,
              "sender pointer must fit inside the record");

// Reads one byte of the block.
inline unsigned char HostBlockByte(const HostServiceBlock* block, std::size_t offset) {
    return block->bytes[offset];
}

#endif
