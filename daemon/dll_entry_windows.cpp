// The DLL's entry point, called by the Windows loader under its lock.
//
// The DLL is linked without the C runtime's start-up code, so this is the
// only code of ours that runs at load or unload: no runtime initialisation,
// no constructors, no thread-local data support and no callbacks on the
// server's thread starts and exits.
#include "daemon/module_state.h"
#include "host/calling_convention.h"

#include <windows.h>

// Named as the entry point when the DLL is linked (daemon/CMakeLists.txt).
// Realigns the stack like the exported entry points: the loader keeps
// only 4-byte alignment on 32-bit Windows.
extern "C" VELMORA_ENTRY_ALIGN BOOL WINAPI VelmoraDllEntry(HINSTANCE instance, DWORD reason,
                                                           LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        // We need to hear nothing of the server's threads.
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary. When the whole process is ending instead
        // (reserved is not null), there is nothing worth freeing.
        ReleaseMessageIdDomain();
    }
    return TRUE;
}
