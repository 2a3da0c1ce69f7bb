// A host's services as a table of typed function pointers, and the one
// place that puts such a table into a service block's slots. Each of our
// hosts (the stand-in server, the fuzzed host, the benchmark's bare host)
// fills a table with its own functions and installs it.
#ifndef VELMORA_STANDIN_SERVICE_TABLE_H
#define VELMORA_STANDIN_SERVICE_TABLE_H

#include "host/service_signatures.h"

#include "host/service_block.h"

#include <cstddef>
#include <cstring>
#include <set>

struct HostServiceTable {
    HostQueryStringFn queryString;
    HostCheckAddressFn checkAddress;
    HostExtractAddressFn extractAddress;
    HostVerifyAddressFn verifyAddress;
    HostCloseJobFn closeJob;
    HostRewindJobFn rewindJob;
    HostReleaseJobFn releaseJob;
    HostGetJobInfoFn getJobInfo;
    HostCreateJobFn createJob;
    HostAddRecipientFn addRecipient;
    HostWriteLineFn writeLine;
    HostReadLineFn readLine;
    HostNextRecipientFn nextRecipient;
    HostTempFileNameFn tempFileName;
    HostOpenMessageFileFn openMessageFile;
    HostCloseMessageFileFn closeMessageFile;
    HostFindHeaderFn findHeader;
    HostWriteJobToFileFn writeJobToFile;
    HostLogFn log;
};

// Copies one function pointer into the slot of the service at a 32-bit byte
// offset; byte-wise, as the slot is not aligned for a pointer.
template <typename Fn>
void PutServiceSlot(unsigned char* block, std::size_t offset32, Fn function) {
    static_assert(sizeof(function) == sizeof(void*), "service slots are pointer-sized");
    std::memcpy(block + ServiceSlotPosition(offset32), &function, sizeof(function));
}

// Puts every service of `table` into its slot of `block` (a block built for
// this platform's pointer size), except the services whose 32-bit byte
// offsets are listed in `missing`: their slots are left as they are.
void InstallServiceTable(unsigned char* block, const HostServiceTable& table,
                         const std::set<std::size_t>& missing = {});

#endif
