// The system's dynamic loader, as the stand-in server uses it to load the
// module the way the mail server does: by path, then its entry points by
// their exported names. Paths are UTF-8.
#ifndef VELMORA_PLATFORM_DYNAMIC_LIBRARY_H
#define VELMORA_PLATFORM_DYNAMIC_LIBRARY_H

#include <string>
#include <vector>

// The file name of our module on this system ("velmora.dll").
const char* ModuleFileNameHere();

// Loads the library at `path`; null when it cannot be loaded
// (LastLoaderError then says why).
void* OpenLibrary(const std::string& path);

// Loads, from the system folder, the system libraries our module imports
// that the loader would otherwise look for beside the program, where a
// planted copy would run (none on POSIX systems, which look only in their
// own folders). Their handles are added to `handles`; false when one
// cannot be loaded.
bool LoadSystemImports(std::vector<void*>* handles);

// The exported symbol `name` of a loaded library, or null.
void* FindSymbol(void* handle, const char* name);

void CloseLibrary(void* handle);

// Why the last load of `path` failed, in the system's own words.
std::string LastLoaderError(const std::string& path);

// The directory of the running program, with a trailing separator; empty
// when the system will not say.
std::string ExecutableDirectory();

#endif
