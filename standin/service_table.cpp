// Installing a service table into a block; see service_table.h.
#include "standin/service_table.h"

#include <cstring>

namespace {

// Copies one function pointer into the slot of the service at a 32-bit byte
// offset; byte-wise, as the slot is not aligned for a pointer.
template <typename Fn>
void PutSlot(unsigned char* block, std::size_t offset32, Fn function,
             const std::set<std::size_t>& missing) {
    static_assert(sizeof(function) == sizeof(void*), "service slots are pointer-sized");
    if (missing.count(offset32) == 0) {
        std::memcpy(block + ServiceSlotPosition(offset32), &function, sizeof(function));
    }
}

} // namespace

void InstallServiceTable(unsigned char* block, const HostServiceTable& table,
                         const std::set<std::size_t>& missing) {
    PutSlot(block, kHostQueryStringOffset, table.queryString, missing);
    PutSlot(block, kHostCheckAddressOffset, table.checkAddress, missing);
    PutSlot(block, kHostExtractAddressOffset, table.extractAddress, missing);
    PutSlot(block, kHostVerifyAddressOffset, table.verifyAddress, missing);
    PutSlot(block, kHostCloseJobOffset, table.closeJob, missing);
    PutSlot(block, kHostRewindJobOffset, table.rewindJob, missing);
    PutSlot(block, kHostReleaseJobOffset, table.releaseJob, missing);
    PutSlot(block, kHostGetJobInfoOffset, table.getJobInfo, missing);
    PutSlot(block, kHostCreateJobOffset, table.createJob, missing);
    PutSlot(block, kHostAddRecipientOffset, table.addRecipient, missing);
    PutSlot(block, kHostWriteLineOffset, table.writeLine, missing);
    PutSlot(block, kHostReadLineOffset, table.readLine, missing);
    PutSlot(block, kHostNextRecipientOffset, table.nextRecipient, missing);
    PutSlot(block, kHostTempFileNameOffset, table.tempFileName, missing);
    PutSlot(block, kHostOpenMessageFileOffset, table.openMessageFile, missing);
    PutSlot(block, kHostCloseMessageFileOffset, table.closeMessageFile, missing);
    PutSlot(block, kHostFindHeaderOffset, table.findHeader, missing);
    PutSlot(block, kHostWriteJobToFileOffset, table.writeJobToFile, missing);
    PutSlot(block, kHostLogOffset, table.log, missing);
}
