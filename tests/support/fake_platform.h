// Test stand-in for the module's platform layer: a clock the test sets and
// a file deletion it can count. Linked into the unit tests in place of the
// real platform file.
#ifndef VELMORA_TESTS_FAKE_PLATFORM_H
#define VELMORA_TESTS_FAKE_PLATFORM_H

#include <cstdint>
#include <string>
#include <vector>

// Every clock reading returns `now` until set again.
void SetFakeClock(std::uint32_t now);

// While on, every clock reading first gives up the processor, widening the
// window in which racing threads can get in each other's way. Readings are
// then left out of the host's call trace, which is meant for one thread.
void YieldOnClockReads(bool yield);

// How clock reads and file deletions appear in the active host's calls.
constexpr const char* kClockReadCall = "PlatformMilliseconds";
constexpr const char* kDeleteFileCall = "PlatformDeleteFile";

// Paths the module asked to delete, in order. The files are really deleted,
// unless the active host still holds them open (as on Windows).
const std::vector<std::string>& DeletedPaths();
void ClearDeletedPaths();

#endif
