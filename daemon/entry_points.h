// The two functions the host calls by name.
//
// Both take four arguments on the stack, removed by the caller. The second
// and third arguments of STARTUP and the third of DAEMON carry nothing we
// need and are never read.
#ifndef VELMORA_DAEMON_ENTRY_POINTS_H
#define VELMORA_DAEMON_ENTRY_POINTS_H

#include "host/calling_convention.h"
#include "host/service_block.h"

#include <cstdint>

extern "C" {

// Called once after loading. Returns 1 when the module can work with this
// host and configured sender, 0 when it refuses; logs one line either way.
VELMORA_EXPORT VELMORA_ENTRY_ALIGN std::uint8_t VELMORA_CDECL STARTUP(const HostServiceBlock* block,
                                                                      const void* unused2,
                                                                      const void* unused3,
                                                                      const char* sender);

// Called for every mail job. Returns 1 when an automatic reply was handed
// back to the host as a new job under the configured sender, 0 otherwise.
VELMORA_EXPORT VELMORA_ENTRY_ALIGN std::int32_t VELMORA_CDECL DAEMON(JobHandle job,
                                                                     const HostServiceBlock* block,
                                                                     const void* unused3,
                                                                     const char* sender);
}

// Signatures of the entry points as a host looks them up.
extern "C" {
typedef std::uint8_t(VELMORA_CDECL* StartupEntryFn)(const HostServiceBlock*, const void*,
                                                    const void*, const char*);
typedef std::int32_t(VELMORA_CDECL* DaemonEntryFn)(JobHandle, const HostServiceBlock*, const void*,
                                                   const char*);
}

constexpr const char* kStartupExportName = "STARTUP";
constexpr const char* kDaemonExportName = "DAEMON";

#endif
