// A path's parent by its name; see parent_folder.h.
#include "runner/inputs/parent_folder.h"

#include "platform/system.h"

namespace {

constexpr char kPosixSeparator = '/';
constexpr char kDriveMark = ':';

// Windows takes '/' as well as its own '\'.
bool IsSeparator(char c) {
    return c == kPosixSeparator || c == PathSeparator();
}

// Where the name's root ends: past "/", past "C:\" or "C:" on Windows, else 0.
std::size_t RootLength(const std::string& path) {
    if (PathSeparator() != kPosixSeparator) {
        constexpr std::size_t kDriveLength = 2; // "C:"
        if (path.size() >= kDriveLength && path[1] == kDriveMark) {
            const bool rooted = path.size() > kDriveLength && IsSeparator(path[kDriveLength]);
            return rooted ? kDriveLength + 1 : kDriveLength;
        }
    }
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

} // namespace

std::string ParentFolder(const std::string& path) {
    const std::size_t root = RootLength(path);
    std::size_t end = path.size();
    while (end > root && IsSeparator(path[end - 1])) {
        --end;
    }
    if (end <= root) {
        return std::string(); // the root itself, or nothing
    }
    std::size_t cut = end;
    while (cut > root && !IsSeparator(path[cut - 1])) {
        --cut;
    }
    while (cut > root && IsSeparator(path[cut - 1])) {
        --cut;
    }
    return path.substr(0, cut);
}
