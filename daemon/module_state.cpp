// Storage of the Message-ID domain; see module_state.h.
//
// The string starts as a null pointer, so loading the module runs none of
// our code; the only thing that runs at unload is the release below.
#include "daemon/module_state.h"

#include "daemon/module_memory.h"

#include <cstring>

namespace {

char* g_messageIdDomain = nullptr;

// Frees the stored domain when the module is unloaded. Its constructor is
// trivial, so nothing of ours runs at load time.
struct DomainReleaser {
    ~DomainReleaser() {
        ModuleFree(g_messageIdDomain);
        g_messageIdDomain = nullptr;
    }
};

DomainReleaser g_domainReleaser;

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
