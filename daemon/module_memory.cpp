// The C library's heap; see module_memory.h.
#include "daemon/module_memory.h"

#include <cstdlib>

void* ModuleAllocate(std::size_t size) {
    return std::malloc(size);
}

void ModuleFree(void* block) {
    std::free(block);
}
