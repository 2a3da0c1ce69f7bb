// The little the module needs from the operating system.
//
// Each platform has its own file (platform_windows.cpp, platform_posix.cpp);
// test builds link a controllable stand-in instead, so that tests can set
// the clock and watch deletions without the shipped module exporting any
// extra function.
#ifndef VELMORA_DAEMON_PLATFORM_H
#define VELMORA_DAEMON_PLATFORM_H

#include <cstdint>

// Milliseconds since the system started, as an unsigned 32-bit count that
// wraps to 0 after 4294967295.
std::uint32_t PlatformMilliseconds();

// Deletes the file at `path`. Whether that worked is not reported: the file
// is ours to remove and there is nothing further to do if it is gone.
void PlatformDeleteFile(const char* path);

#endif
