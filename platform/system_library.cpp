// System DLLs from the system folder; see system_library.h.
#include "platform/system_library.h"

#include <string>

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, spelt out: headers for Windows XP lack it.
constexpr DWORD kSearchSystemFolderOnly = 0x00000800;
// Systems that take the flag (Windows 8 on, and 7 and 2008 R2 with their
// update) are known by this function of theirs.
constexpr const char* kSafeSearchWitness = "AddDllDirectory";
constexpr wchar_t kSeparator = L'\\';

bool HasSafeSearch() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel != nullptr && GetProcAddress(kernel, kSafeSearchWitness) != nullptr;
}

} // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (HasSafeSearch()) {
        return LoadLibraryExW(name, nullptr, kSearchSystemFolderOnly);
    }
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return nullptr;
    }
    std::wstring path(folder, length);
    path += kSeparator;
    path += name;
    return LoadLibraryW(path.c_str());
}
