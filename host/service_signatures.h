// Signatures of the host services, as function pointer types.
//
// Shared by the module, which calls through them, and by our reference
// host, which fills a block with functions of exactly these types. Integer
// arguments are 32-bit; results that the module reads as truth values are
// declared as full 32-bit integers and judged by their low byte.
#ifndef VELMORA_HOST_SERVICE_SIGNATURES_H
#define VELMORA_HOST_SERVICE_SIGNATURES_H

#include "host/calling_convention.h"
#include "host/service_block.h"

#include <cstdint>

extern "C" {
typedef const char*(VELMORA_CDECL* HostQueryStringFn)(std::int32_t item);
typedef std::uint32_t(VELMORA_CDECL* HostCheckAddressFn)(const char* address, char* bufferA,
                                                         char* bufferB);
typedef std::int32_t(VELMORA_CDECL* HostExtractAddressFn)(char* out, const char* text,
                                                          std::int32_t limit);
typedef std::uint32_t(VELMORA_CDECL* HostVerifyAddressFn)(const char* address, char* bufferA,
                                                          char* bufferB);
typedef std::int32_t(VELMORA_CDECL* HostCloseJobFn)(JobHandle job);
typedef std::int32_t(VELMORA_CDECL* HostRewindJobFn)(JobHandle job, std::int32_t mode);
typedef std::int32_t(VELMORA_CDECL* HostReleaseJobFn)(JobHandle job);
typedef std::int32_t(VELMORA_CDECL* HostGetJobInfoFn)(JobHandle job, JobInfoRecord* record);
typedef JobHandle(VELMORA_CDECL* HostCreateJobFn)(std::int32_t kind, const char* sender,
                                                  const char* options);
typedef std::int32_t(VELMORA_CDECL* HostAddRecipientFn)(JobHandle job, const char* address);
typedef std::int32_t(VELMORA_CDECL* HostWriteLineFn)(JobHandle job, const char* text);
typedef std::int32_t(VELMORA_CDECL* HostReadLineFn)(JobHandle job, char* buffer, std::int32_t size);
typedef const char*(VELMORA_CDECL* HostNextRecipientFn)(JobHandle job, std::int32_t start,
                                                        void* scratch);
typedef std::int32_t(VELMORA_CDECL* HostTempFileNameFn)(std::int32_t kind, char* pathBuffer,
                                                        std::int32_t flags);
typedef MessageHandle(VELMORA_CDECL* HostOpenMessageFileFn)(const char* path, std::int32_t flags);
typedef std::int32_t(VELMORA_CDECL* HostCloseMessageFileFn)(MessageHandle message);
typedef const char*(VELMORA_CDECL* HostFindHeaderFn)(MessageHandle message, const char* name,
                                                     char* valueBuffer, std::int32_t size);
typedef std::int32_t(VELMORA_CDECL* HostWriteJobToFileFn)(JobHandle job, const char* path,
                                                          std::int32_t mode);
typedef std::int32_t(VELMORA_CDECL* HostLogFn)(std::int32_t facility, std::int32_t code,
                                               const char* text);
}

#endif
