// STARTUP: decides whether the module can work with this host and this
// configured sender, and learns the Message-ID domain.
#include "daemon/entry_points.h"
#include "daemon/log_texts.h"
#include "daemon/module_state.h"
#include "host/host_calls.h"

#include <cstring>

namespace {

// Oldest host release whose service block we know: 2.20.
constexpr unsigned kMinimumMajorVersion = 2;
constexpr unsigned kMinimumMinorVersion = 20;

// Shortest configured sender we accept. Only the length is judged; the host
// checks the address itself when the replacement job is created.
constexpr std::size_t kMinimumSenderLength = 8;

constexpr std::uint8_t kStartupRefused = 0;
constexpr std::uint8_t kStartupReady = 1;

// True when the block comes from a host release we can work with.
bool HostVersionSupported(const HostServiceBlock* block) {
    const unsigned major = HostMajorVersion(block);
    const unsigned minor = HostMinorVersion(block);
    if (major != kMinimumMajorVersion) {
        return major > kMinimumMajorVersion;
    }
    return minor >= kMinimumMinorVersion;
}

// True when the configured sender is long enough; null counts as empty.
bool SenderLongEnough(const char* sender) {
    return sender != nullptr && std::strlen(sender) >= kMinimumSenderLength;
}

} // namespace

extern "C" VELMORA_EXPORT VELMORA_ENTRY_ALIGN std::uint8_t VELMORA_CDECL
STARTUP(const HostServiceBlock* block, const void* /*unused2*/, const void* /*unused3*/,
        const char* sender) {
    if (block == nullptr) {
        return kStartupRefused;
    }
    if (!HostVersionSupported(block)) {
        HostLog(block, kLogCodeStartup, kLogVersionError);
        return kStartupRefused;
    }
    if (!SenderLongEnough(sender)) {
        HostLog(block, kLogCodeStartup, kLogSenderError);
        return kStartupRefused;
    }
    StoreMessageIdDomain(HostQueryString(block, kQueryItemDomain));
    HostLog(block, kLogCodeStartup, kLogLoaded);
    return kStartupReady;
}
