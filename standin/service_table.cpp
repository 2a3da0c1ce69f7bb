// Installing a service table into a block; see service_table.h.
#include "standin/service_table.h"

namespace {

// Puts the service into its slot unless it is to be missing.
template <typename Fn>
void PutSlot(unsigned char* block, std::size_t offset32, Fn function,
             const std::set<std::size_t>& missing) {
    if (missing.count(offset32) == 0) {
        PutServiceSlot(block, offset32, function);
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
