// Operating system calls on Windows.
#include "daemon/platform.h"

#include <mmsystem.h>
#include <windows.h>

std::uint32_t PlatformMilliseconds() {
    return timeGetTime();
}

void PlatformDeleteFile(const char* path) {
    DeleteFileA(path);
}
