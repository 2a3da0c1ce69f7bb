// Operating system calls on Windows.
#include "daemon/platform.h"

#include <windows.h>
#include <mmsystem.h>

std::uint32_t PlatformMilliseconds() { return timeGetTime(); }

void PlatformDeleteFile(const char* path) { DeleteFileA(path); }
