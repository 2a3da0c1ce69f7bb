// Test stand-in for the platform layer; see fake_platform.h.
#include "tests/support/fake_platform.h"

#include "daemon/platform.h"
#include "standin/standin_server.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace {
std::atomic<std::uint32_t> g_fakeNow{0};
std::atomic<bool> g_yieldOnRead{false};
std::vector<std::string> g_deleted;
} // namespace

void SetFakeClock(std::uint32_t now) {
    g_fakeNow.store(now);
}

void YieldOnClockReads(bool yield) {
    g_yieldOnRead.store(yield);
}

const std::vector<std::string>& DeletedPaths() {
    return g_deleted;
}

void ClearDeletedPaths() {
    g_deleted.clear();
}

// Clock reads and deletions go into the active host's call trace, so that
// tests see them in order among the host's services.
std::uint32_t PlatformMilliseconds() {
    if (g_yieldOnRead.load()) {
        std::this_thread::yield();
        return g_fakeNow.load();
    }
    if (StandInServer* host = StandInServer::Active()) {
        host->calls.push_back(kClockReadCall);
    }
    return g_fakeNow.load();
}

// A deletion the host refuses (the file is still open there) leaves the
// file in place, as Windows does.
void PlatformDeleteFile(const char* path) {
    bool allowed = true;
    if (StandInServer* host = StandInServer::Active()) {
        host->calls.push_back(kDeleteFileCall);
        allowed = host->AllowDeletion(path);
    }
    g_deleted.push_back(path);
    if (allowed) {
        std::remove(path);
    }
}
