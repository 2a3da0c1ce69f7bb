// Paths for the Windows calls; see windows_paths.h.
#include "platform/windows_paths.h"

#include "platform/windows_text.h"

#include <windows.h>

namespace {

constexpr const wchar_t* kLongPathPrefix = L"\\\\?\\";
constexpr const wchar_t* kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr std::size_t kLongPathPrefixLength = 4;
constexpr std::size_t kUncStartLength = 2; // "\\server"

} // namespace

std::wstring FullPath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return std::wstring();
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
    full.resize(length < needed ? length : 0);
    return full;
}

std::wstring SystemPathOfFull(const std::wstring& full) {
    if (full.compare(0, kLongPathPrefixLength, kLongPathPrefix) == 0) {
        return full;
    }
    if (full.compare(0, kUncStartLength, L"\\\\") == 0) {
        return kLongUncPrefix + full.substr(kUncStartLength);
    }
    return kLongPathPrefix + full;
}

std::wstring SystemPath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.compare(0, kLongPathPrefixLength, kLongPathPrefix) == 0) {
        return wide;
    }
    const std::wstring full = FullPath(path);
    return full.empty() ? wide : SystemPathOfFull(full);
}
