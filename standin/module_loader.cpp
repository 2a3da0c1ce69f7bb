// Module loading with the platform's dynamic loader; see module_loader.h.
#include "standin/module_loader.h"

#include <cstring>

#ifdef _WIN32
#include "platform/system_library.h"
#include "platform/windows_text.h"

#include <windows.h>
#else
#include <climits>
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
constexpr const char* kModuleFileName = "velmora.dll";

// The system DLLs our module imports that are not KnownDLLs on every
// Windows. Loaded from the system folder before the module, they are the
// ones its imports bind to: the loader never looks for them beside the
// program, where a planted copy would run.
constexpr const wchar_t* kModuleSystemImports[] = {L"winmm.dll"};

// The path is UTF-8: a module in a folder named in any script loads.
void* OpenLibrary(const std::string& path) {
    return reinterpret_cast<void*>(LoadLibraryW(WideFromUtf8(path).c_str()));
}

// Loads the module's system imports from the system folder; false, with
// the loader's error, when one cannot be.
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
#else
constexpr const char* kModuleFileName = "libvelmora.so";

void* OpenLibrary(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* FindSymbol(void* handle, const char* name) {
    return dlsym(handle, name);
}
void CloseLibrary(void* handle) {
    dlclose(handle);
}
std::string LastLoaderError(const std::string& /*path*/) {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}
// POSIX systems look for a library's dependencies in the system's own
// folders, not beside the program.
bool LoadSystemImports(std::vector<void*>* /*handles*/) {
    return true;
}
#endif

// Symbols come back as data pointers; copy them into the function type.
template <typename Fn> Fn AsFunction(void* symbol) {
    Fn fn = nullptr;
    static_assert(sizeof(fn) == sizeof(symbol), "function and data pointers differ in size");
    std::memcpy(&fn, &symbol, sizeof(fn));
    return fn;
}

} // namespace

LoadedModule::~LoadedModule() {
    Unload();
}

LoadOutcome LoadedModule::Load(const std::string& path, std::string* error) {
    Unload();
    if (!LoadSystemImports(&systemImports_)) {
        *error = "cannot load a system library the module needs: " + LastLoaderError(path);
        Unload();
        return LoadOutcome::kCannotLoad;
    }
    handle_ = OpenLibrary(path);
    if (handle_ == nullptr) {
        *error = "cannot load module " + path + ": " + LastLoaderError(path);
        return LoadOutcome::kCannotLoad;
    }
    startup_ = AsFunction<StartupEntryFn>(FindSymbol(handle_, kStartupExportName));
    daemon_ = AsFunction<DaemonEntryFn>(FindSymbol(handle_, kDaemonExportName));
    if (startup_ == nullptr || daemon_ == nullptr) {
        const bool noStartup = startup_ == nullptr;
        *error = "module " + path + " does not export " +
                 (noStartup ? kStartupExportName : kDaemonExportName);
        Unload();
        return noStartup ? LoadOutcome::kMissingStartup : LoadOutcome::kMissingDaemon;
    }
    return LoadOutcome::kLoaded;
}

void LoadedModule::Unload() {
    if (handle_ != nullptr) {
        CloseLibrary(handle_);
    }
    for (void* import : systemImports_) {
        CloseLibrary(import);
    }
    systemImports_.clear();
    handle_ = nullptr;
    startup_ = nullptr;
    daemon_ = nullptr;
}

std::string ExecutableDirectory() {
    std::string path;
#ifdef _WIN32
    // Long enough for any path; the call says when it was not.
    constexpr DWORD kLongestPath = 32768;
    std::wstring buffer(kLongestPath, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], kLongestPath);
    path = Utf8FromWide(buffer.data(), length < kLongestPath ? length : 0);
#else
    char buffer[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length > 0) {
        path.assign(buffer, static_cast<std::size_t>(length));
    }
#endif
    // Unknown (no /proc): no guess. The current folder is not the
    // program's, and a module planted there would be run.
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ModuleFileName() {
    return kModuleFileName;
}
