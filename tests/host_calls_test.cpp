// The service block as the module reads it: slot positions, unaligned
// pointers, truth bytes and empty slots.
#include "host/host_calls.h"
#include "host/service_signatures.h"
#include "standin/service_table.h"
#include "standin/standin_server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Slot indexes worked out by hand from the host's 32-bit byte offsets, so
// that a slip in the formula cannot hide behind itself.
TEST(ServiceLayoutTest, SlotsFollowTheHostsByteOffsets) {
    struct Case {
        std::size_t offset32;
        std::size_t slot;
    };
    const Case cases[] = {
        {kHostQueryStringOffset, 0},
        {kHostCheckAddressOffset, 1},
        {kHostExtractAddressOffset, 3},
        {kHostVerifyAddressOffset, 8},
        {kHostCloseJobOffset, 17},
        {kHostRewindJobOffset, 18},
        {kHostReleaseJobOffset, 19},
        {kHostGetJobInfoOffset, 23},
        {kHostCreateJobOffset, 24},
        {kHostAddRecipientOffset, 25},
        {kHostWriteLineOffset, 26},
        {kHostReadLineOffset, 27},
        {kHostNextRecipientOffset, 28},
        {kHostTempFileNameOffset, 47},
        {kHostOpenMessageFileOffset, 51},
        {kHostCloseMessageFileOffset, 53},
        {kHostFindHeaderOffset, 61},
        {kHostWriteJobToFileOffset, 62},
        {kHostLogOffset, 87},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ServiceSlotIndex(c.offset32), c.slot) << c.offset32;
        EXPECT_EQ(ServiceSlotPosition(c.offset32), 10 + c.slot * sizeof(void*)) << c.offset32;
        if (sizeof(void*) == 4) {
            EXPECT_EQ(ServiceSlotPosition(c.offset32), c.offset32);
        }
    }
    EXPECT_EQ(kServiceBlockMinimumSize, 10 + 88 * sizeof(void*));
}

std::vector<std::string> g_logged;
std::int32_t g_loggedFacility = 0;

std::int32_t VELMORA_CDECL RecordLog(std::int32_t facility, std::int32_t code, const char* text) {
    g_loggedFacility = facility;
    g_logged.push_back(std::to_string(code) + " " + text);
    return 1;
}

std::uint32_t VELMORA_CDECL YesInHighBitsOnly(const char*, char*, char*) {
    return 0xFFFFFF00u;
}

// A block that starts at an odd address, as nothing forces the host to
// align it; every pointer inside is then misaligned too.
TEST(ServiceLayoutTest, ReadsAMisalignedBlock) {
    std::vector<unsigned char> storage(kServiceBlockMinimumSize + 1, 0);
    unsigned char* bytes = storage.data() + 1;
    bytes[kBlockMajorVersionOffset] = 2;
    bytes[kBlockMinorVersionOffset] = 31;
    PutServiceSlot(bytes, kHostLogOffset, static_cast<HostLogFn>(&RecordLog));
    PutServiceSlot(bytes, kHostCheckAddressOffset,
                   static_cast<HostCheckAddressFn>(&YesInHighBitsOnly));
    const auto* block = reinterpret_cast<const HostServiceBlock*>(bytes);

    EXPECT_EQ(HostMajorVersion(block), 2u);
    EXPECT_EQ(HostMinorVersion(block), 31u);
    g_logged.clear();
    HostLog(block, kLogCodeJob, "hello");
    EXPECT_EQ(g_logged, std::vector<std::string>{"25 hello"});
    EXPECT_EQ(g_loggedFacility, 10);
    char a[257] = {};
    char b[257] = {};
    EXPECT_FALSE(HostCheckAddress(block, "x@y", a, b)); // low byte is zero
}

TEST(ServiceLayoutTest, EmptySlotsAnswerAsFailedServices) {
    std::vector<unsigned char> bytes(kServiceBlockMinimumSize, 0);
    const auto* block = reinterpret_cast<const HostServiceBlock*>(bytes.data());
    char buffer[kLineBufferSize + 1] = {};
    unsigned char scratch[kRecipientScratchSize] = {};
    JobInfoRecord record{};

    EXPECT_EQ(HostQueryString(block, kQueryItemDomain), nullptr);
    EXPECT_FALSE(HostExtractAddress(block, buffer, "a@b"));
    EXPECT_FALSE(HostCheckAddress(block, "a@b", buffer, buffer));
    EXPECT_FALSE(HostVerifyAddress(block, "a@b", buffer, buffer));
    EXPECT_EQ(HostCloseJob(block, nullptr), 0);
    EXPECT_EQ(HostCreateJob(block, "a@b"), nullptr);
    EXPECT_FALSE(HostReadLine(block, nullptr, buffer));
    EXPECT_EQ(HostNextRecipient(block, nullptr, scratch), nullptr);
    EXPECT_EQ(HostOpenMessageFile(block, "x"), nullptr);
    EXPECT_EQ(HostFindHeader(block, nullptr, "X", buffer), nullptr);
    // Services whose results we ignore simply do nothing.
    HostRewindJob(block, nullptr);
    HostReleaseJob(block, nullptr);
    HostGetJobInfo(block, nullptr, &record);
    HostAddRecipient(block, nullptr, "a@b");
    HostWriteLine(block, nullptr, "x\r\n");
    HostTempFileName(block, buffer);
    HostCloseMessageFile(block, nullptr);
    HostWriteJobToFile(block, nullptr, "x");
    HostLog(block, kLogCodeJob, "x");
}

TEST(JobInfoRecordTest, SenderPointerIsReadFromByteTen) {
    static const char kSender[] = "<>";
    JobInfoRecord record;
    std::memset(record.bytes, 0xEE, sizeof(record.bytes));
    const char* sender = kSender;
    std::memcpy(record.bytes + 10, &sender, sizeof(sender));
    EXPECT_EQ(JobInfoSender(&record), kSender);
    EXPECT_EQ(sizeof(JobInfoRecord), 122u);
}

} // namespace
