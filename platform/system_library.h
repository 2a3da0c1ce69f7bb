// Loading a DLL of the system's from the system folder and nowhere else.
// A DLL that is not one of the system's KnownDLLs is looked for in the
// program's own folder first; a Downloads folder may hold a planted copy
// there, which would then run inside the runner, often as Administrator.
#ifndef VELMORA_PLATFORM_SYSTEM_LIBRARY_H
#define VELMORA_PLATFORM_SYSTEM_LIBRARY_H

#include <windows.h>

// Loads `name` ("winmm.dll") from the system folder: with the loader's
// system-folder-only search where the system has it, else by its full
// path there. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

#endif
