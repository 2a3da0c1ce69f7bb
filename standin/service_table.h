// A host's services as a table of typed function pointers, and the one
// place that puts such a table into a service block's slots. Each of our
// hosts (the stand-in server, the fuzzed host, the benchmark's bare host)
// fills a table with its own functions and installs it.
#ifndef VELMORA_STANDIN_SERVICE_TABLE_H
#define VELMORA_STANDIN_SERVICE_TABLE_H

#include "host/service_signatures.h"

#include <cstddef>
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

// Puts every service of `table` into its slot of `block` (a block built for
// this platform's pointer size), except the services whose 32-bit byte
// offsets are listed in `missing`: their slots are left as they are.
void InstallServiceTable(unsigned char* block, const HostServiceTable& table,
                         const std::set<std::size_t>& missing = {});

#endif
