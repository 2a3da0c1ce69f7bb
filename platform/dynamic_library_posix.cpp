// The dynamic loader of POSIX systems; see dynamic_library.h.
#include "platform/dynamic_library.h"

#include <climits>
#include <dlfcn.h>
#include <unistd.h>

namespace {

constexpr const char* kModuleFileName = "libvelmora.so";

} // namespace

const char* ModuleFileNameHere() {
    return kModuleFileName;
}

void* OpenLibrary(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

// POSIX systems look for a library's dependencies in the system's own
// folders, not beside the program.
bool LoadSystemImports(std::vector<void*>* /*handles*/) {
    return true;
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

std::string ExecutableDirectory() {
    std::string path;
    char buffer[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length > 0) {
        path.assign(buffer, static_cast<std::size_t>(length));
    }
    // Unknown (no /proc): no guess. The current folder is not the
    // program's, and a module planted there would be run.
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
