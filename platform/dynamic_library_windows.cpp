// The dynamic loader of Windows; see dynamic_library.h.
#include "platform/dynamic_library.h"

#include "platform/system_library.h"
#include "platform/windows_text.h"

#include <windows.h>

namespace {

constexpr const char* kModuleFileName = "velmora.dll";

// The system DLLs our module imports that are not KnownDLLs on every
// Windows. Loaded from the system folder before the module, they are the
// ones its imports bind to: the loader never looks for them beside the
// program, where a planted copy would run.
constexpr const wchar_t* kModuleSystemImports[] = {L"winmm.dll"};

// Long enough for any path; GetModuleFileNameW says when it was not.
constexpr DWORD kLongestPath = 32768;

} // namespace

const char* ModuleFileNameHere() {
    return kModuleFileName;
}

// The path is UTF-8: a module in a folder named in any script loads.
void* OpenLibrary(const std::string& path) {
    return reinterpret_cast<void*>(LoadLibraryW(WideFromUtf8(path).c_str()));
}

bool LoadSystemImports(std::vector<void*>* handles) {
    for (const wchar_t* name : kModuleSystemImports) {
        HMODULE handle = LoadSystemLibrary(name);
        if (handle == nullptr) {
            return false;
        }
        handles->push_back(reinterpret_cast<void*>(handle));
    }
    return true;
}

void* FindSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void CloseLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}

// The system's own words ("The specified module could not be found"),
// with the code for a search. Some of them hold a place for the file's
// name ("Bad EXE format for %1"), which the system leaves unfilled.
std::string LastLoaderError(const std::string& path) {
    const DWORD code = GetLastError();
    std::string text = WindowsErrorText(code);
    const std::string slot = "%1";
    for (std::size_t at = text.find(slot); at != std::string::npos;
         at = text.find(slot, at + path.size())) {
        text.replace(at, slot.size(), path);
    }
    return text + " (error " + std::to_string(code) + ")";
}

std::string ExecutableDirectory() {
    std::wstring buffer(kLongestPath, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], kLongestPath);
    const std::string path = Utf8FromWide(buffer.data(), length < kLongestPath ? length : 0);
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
