// Test stand-in for the module's memory: the C library's heap, counted, and
// made to fail at the allocation a test picks. Linked into the unit tests
// in place of the module's own memory file.
#ifndef VELMORA_TESTS_FAILING_MEMORY_H
#define VELMORA_TESTS_FAILING_MEMORY_H

#include <cstddef>

// Makes the n-th module allocation from now fail (1: the next one), and only
// that one; 0 makes none fail. Also starts the count of allocations again.
void FailModuleAllocation(std::size_t n);

// Module allocations made since the last FailModuleAllocation, failed ones
// included.
std::size_t ModuleAllocationsMade();

// Module allocations not yet given back.
std::size_t ModuleAllocationsHeld();

#endif
