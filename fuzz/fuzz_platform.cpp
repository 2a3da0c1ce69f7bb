// Platform layer for the fuzz target: a clock that never moves, so that
// runs repeat exactly, and real file deletion.
#include "daemon/platform.h"

#include <cstdio>

std::uint32_t PlatformMilliseconds() {
    return 0;
}

void PlatformDeleteFile(const char* path) {
    std::remove(path);
}
