// Counts heap allocations made anywhere in the benchmark process, by
// standing in for the C library's malloc, calloc and realloc (glibc only;
// the benchmark is built natively). operator new allocates through malloc,
// so it is counted too. A benchmark reads the count before and after one
// call to see how many allocations that call made.
#ifndef VELMORA_BENCH_ALLOCATION_COUNTER_H
#define VELMORA_BENCH_ALLOCATION_COUNTER_H

#include <cstddef>

std::size_t AllocationCount();

#endif
