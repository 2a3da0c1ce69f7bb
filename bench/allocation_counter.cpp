// The counting allocator; see allocation_counter.h. The counting functions
// hand the work to glibc's own allocator under its internal names.
#include "bench/allocation_counter.h"

#include <atomic>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
}

namespace {
std::atomic<std::size_t> g_allocations{0};
} // namespace

std::size_t AllocationCount() {
    return g_allocations.load(std::memory_order_relaxed);
}

extern "C" void* malloc(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t count, std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* pointer, std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(pointer, size);
}
