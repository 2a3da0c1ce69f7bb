// Memory for the module's own strings: the header value, the log line, the
// Message-ID line and the stored domain. Every allocation goes through
// here, so that the unit tests can put a stand-in in its place that makes
// any one of them fail; the module then has to end in its documented 0
// result with nothing left behind.
#ifndef VELMORA_DAEMON_MODULE_MEMORY_H
#define VELMORA_DAEMON_MODULE_MEMORY_H

#include <cstddef>

// `size` bytes, not cleared, or null when there is no memory.
void* ModuleAllocate(std::size_t size);

// Gives back what ModuleAllocate returned; null is ignored.
void ModuleFree(void* block);

#endif
