// Windows only: a UTF-8 path as the system's wide calls take it.
#ifndef VELMORA_PLATFORM_SYSTEM_PATH_WINDOWS_H
#define VELMORA_PLATFORM_SYSTEM_PATH_WINDOWS_H

#include <string>

// The full path of `path` in UTF-16 with the "\\?\" prefix that lifts the
// limit of 260 characters (see system_windows.cpp).
std::wstring SystemPathOf(const std::string& path);

#endif
