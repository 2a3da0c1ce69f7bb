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

// Paths the module asked to delete, in order; the files are really deleted.
const std::vector<std::string>& DeletedPaths();
void ClearDeletedPaths();

#endif
