// Loads a module file the way the mail server does: by path, then looking
// up its entry points by their exported names, and nothing else.
#ifndef VELMORA_STANDIN_MODULE_LOADER_H
#define VELMORA_STANDIN_MODULE_LOADER_H

#include "daemon/entry_points.h"
#include "platform/dynamic_library.h"

#include <string>
#include <vector>

enum class LoadOutcome { kLoaded, kCannotLoad, kMissingStartup, kMissingDaemon };

class LoadedModule {
  public:
    LoadedModule() = default;
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // Loads the file and finds both entry points. On failure `error` says
    // what went wrong and the module is left unloaded.
    LoadOutcome Load(const std::string& path, std::string* error);

    // Unloads the module; its entry points must not be used afterwards.
    void Unload();

    StartupEntryFn Startup() const { return startup_; }
    DaemonEntryFn Daemon() const { return daemon_; }

  private:
    void* handle_ = nullptr;
    std::vector<void*> systemImports_; // loaded from the system folder first
    StartupEntryFn startup_ = nullptr;
    DaemonEntryFn daemon_ = nullptr;
};

// The file name of our module on this platform.
std::string ModuleFileName();

#endif
