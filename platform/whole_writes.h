// Writing a buffer whole to an open file: the system may take fewer bytes
// than asked for, or be interrupted, and a short write must not pass for a
// whole one. For the stand-in's copies and the runner's outputs alike.
#ifndef VELMORA_PLATFORM_WHOLE_WRITES_H
#define VELMORA_PLATFORM_WHOLE_WRITES_H

#include <cstddef>
#include <cstdint>

// Writes the `size` bytes at `data` to `file` (a descriptor on POSIX
// systems, a HANDLE on Windows). False when they could not all be written;
// the system's error is then the last one.
bool WriteWhole(std::intptr_t file, const char* data, std::size_t size);

#endif
