// Telling a Maildir; see maildir_layout.h.
#include "runner/inputs/maildir_layout.h"

namespace {

constexpr const char* kMaildirFolders[] = {kMaildirCur, kMaildirNew, kMaildirTmp};
constexpr int kMaildirFoldersNeeded = 2;

bool IsFolderKind(PathKind kind) {
    return kind == PathKind::kFolder;
}

} // namespace

bool IsMaildir(const std::vector<ListedEntry>& entries) {
    int found = 0;
    for (const char* name : kMaildirFolders) {
        for (const ListedEntry& entry : entries) {
            if (entry.name == name && entry.kind == PathKind::kFolder && !entry.link) {
                ++found;
                break;
            }
        }
    }
    return found >= kMaildirFoldersNeeded;
}

bool IsMaildirIn(const HeldFolder& folder) {
    int found = 0;
    for (const char* name : kMaildirFolders) {
        if (HoldsFolder(folder, name)) {
            ++found;
        }
    }
    return found >= kMaildirFoldersNeeded;
}

bool IsMaildirAt(const std::string& path) {
    int found = 0;
    for (const char* name : kMaildirFolders) {
        std::string reason;
        if (IsFolderKind(InspectPath(JoinPath(path, name), &reason))) {
            ++found;
        }
    }
    return found >= kMaildirFoldersNeeded;
}
