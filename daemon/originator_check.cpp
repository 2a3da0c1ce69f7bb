// The originator check; see originator_check.h.
#include "daemon/originator_check.h"

#include "host/host_calls.h"

bool CheckOriginator(const char* value, const HostServiceBlock* block) {
    // Each buffer has one byte more than the host is told about; that byte
    // stays zero, so a buffer the host fills completely is still terminated.
    char address[kAddressBufferSize + 1] = {};
    char bufferA[kAddressBufferSize + 1] = {};
    char bufferB[kAddressBufferSize + 1] = {};

    return HostExtractAddress(block, address, value) &&
           HostCheckAddress(block, address, bufferA, bufferB) &&
           HostVerifyAddress(block, address, bufferA, bufferB);
}
