// Test stand-in for the platform layer; see fake_platform.h.
#include "tests/support/fake_platform.h"

#include "daemon/platform.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<std::uint32_t> g_fakeNow{0};
std::vector<std::string> g_deleted;
} // namespace

void SetFakeClock(std::uint32_t now) {
    g_fakeNow.store(now);
}

const std::vector<std::string>& DeletedPaths() {
    return g_deleted;
}

void ClearDeletedPaths() {
    g_deleted.clear();
}

std::uint32_t PlatformMilliseconds() {
    return g_fakeNow.load();
}

void PlatformDeleteFile(const char* path) {
    g_deleted.push_back(path);
    std::remove(path);
}
