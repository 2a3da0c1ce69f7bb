// Memory that fails on demand; see failing_memory.h.
#include "tests/support/failing_memory.h"

#include "daemon/module_memory.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<std::size_t> g_failAt{0};
std::atomic<std::size_t> g_made{0};
std::atomic<std::size_t> g_held{0};
} // namespace

void FailModuleAllocation(std::size_t n) {
    g_failAt.store(n);
    g_made.store(0);
}

std::size_t ModuleAllocationsMade() {
    return g_made.load();
}

std::size_t ModuleAllocationsHeld() {
    return g_held.load();
}

void* ModuleAllocate(std::size_t size) {
    const std::size_t number = g_made.fetch_add(1) + 1;
    if (number == g_failAt.load()) {
        return nullptr;
    }
    void* block = std::malloc(size);
    if (block != nullptr) {
        g_held.fetch_add(1);
    }
    return block;
}

void ModuleFree(void* block) {
    if (block != nullptr) {
        g_held.fetch_sub(1);
        std::free(block);
    }
}
