// Storage of the Message-ID domain; see module_state.h.
//
// The string starts as a null pointer, so loading the module runs none of
// our code; the only thing that runs at unload is its release.
#include "daemon/module_state.h"

#include "daemon/module_memory.h"

#include <cstring>

namespace {

char* g_messageIdDomain = nullptr;

#ifndef _WIN32
// On POSIX systems a static destructor releases the domain at unload; its
// constructor is trivial, so nothing of ours runs at load time. The Windows
// DLL has no C runtime start-up to run destructors: its entry point
// (dll_entry_windows.cpp) releases the domain instead.
struct DomainReleaser {
    ~DomainReleaser() { ReleaseMessageIdDomain(); }
};

DomainReleaser g_domainReleaser;
#endif

} // namespace

void StoreMessageIdDomain(const char* domain) {
    char* copy = nullptr;
    if (domain != nullptr && domain[0] != '\0') {
        const std::size_t length = std::strlen(domain);
        copy = static_cast<char*>(ModuleAllocate(length + 1));
        if (copy != nullptr) {
            std::memcpy(copy, domain, length + 1);
        }
    }
    ModuleFree(g_messageIdDomain);
    g_messageIdDomain = copy;
}

const char* MessageIdDomain() {
    return g_messageIdDomain != nullptr ? g_messageIdDomain : "";
}

void ReleaseMessageIdDomain() {
    ModuleFree(g_messageIdDomain);
    g_messageIdDomain = nullptr;
}
