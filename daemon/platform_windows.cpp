// Operating system calls on Windows.
#include "daemon/platform.h"

#include <windows.h>

// Needs the types from windows.h above.
#include <mmsystem.h>

std::uint32_t PlatformMilliseconds() {
    return timeGetTime();
}

void PlatformDeleteFile(const char* path) {
    DeleteFileA(path);
}
