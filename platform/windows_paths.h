// Paths as the Windows calls take them, for the Windows implementations in
// this folder only.
#ifndef VELMORA_PLATFORM_WINDOWS_PATHS_H
#define VELMORA_PLATFORM_WINDOWS_PATHS_H

#include <string>

// The full path of the UTF-8 `path` ("C:\...", "\\server\share\..."), the
// system resolving "." and ".." by name, as it does; empty when it cannot.
std::wstring FullPath(const std::string& path);

// `path` as the system's calls take it: the full path with the prefix
// that lifts the 260-character limit. A path that already has a prefix,
// or that the system cannot make full, is passed as it is.
std::wstring SystemPath(const std::string& path);

// The same for a full wide path.
std::wstring SystemPathOfFull(const std::wstring& full);

#endif
