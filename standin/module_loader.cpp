// Module loading with the platform's dynamic loader; see module_loader.h.
#include "standin/module_loader.h"

#include "platform/dynamic_library.h"

#include <cstring>

namespace {

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

std::string ModuleFileName() {
    return ModuleFileNameHere();
}
