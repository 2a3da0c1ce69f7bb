/* A library that leaves a marker file the moment it is loaded, before any
 * of its functions is called: the runner must never load what it only
 * checks (--version), nor a DLL planted beside it in place of a system
 * one. The marker's path is built in: the folder the test names at build
 * time. */
#include <stdio.h>

#ifndef MARKER_PATH
#error "MARKER_PATH names the file to leave"
#endif

static void LeaveMarker(void) {
    FILE* marker = fopen(MARKER_PATH, "a");
    if (marker != NULL) {
        fputs("loaded\n", marker);
        fclose(marker);
    }
}

#ifdef _WIN32
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        LeaveMarker();
    }
    return TRUE;
}
#else
__attribute__((constructor)) static void OnLoad(void) {
    LeaveMarker();
}
#endif
