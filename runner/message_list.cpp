// The messages a run covers; see message_list.h.
#include "runner/message_list.h"

#include "runner/runner_platform.h"

#include <algorithm>

namespace {

constexpr char kHiddenMark = '.';
constexpr const char* kMaildirCur = "cur";
constexpr const char* kMaildirNew = "new";
constexpr const char* kMaildirTmp = "tmp";
constexpr const char* kNotRegularFile = "not a regular file";
constexpr const char* kDottedNote = "its name starts with a dot";
constexpr const char* kHiddenNote = "marked hidden or system";
constexpr const char* kMaildirTmpNote = "a Maildir's deliveries still being written";

bool HasFolder(const std::vector<FolderEntry>& entries, const std::string& name) {
    for (const FolderEntry& entry : entries) {
        if (entry.name == name && entry.kind == PathKind::kFolder) {
            return true;
        }
    }
    return false;
}

// A Maildir's tmp/ holds messages still being delivered: half-written
// files that are not mail yet.
bool IsMaildir(const std::vector<FolderEntry>& entries) {
    return HasFolder(entries, kMaildirCur) && HasFolder(entries, kMaildirNew);
}

// True when the folder at `path` is a Maildir itself.
bool IsMaildirAt(const std::string& path) {
    std::vector<FolderEntry> entries;
    std::string reason;
    return ListFolder(path, &entries, &reason) && IsMaildir(entries);
}

void AddFile(const std::string& path, PathKind kind, const std::string& reason,
             std::vector<MessageSource>* messages) {
    MessageSource source{path, std::string()};
    if (kind == PathKind::kOther) {
        source.unreadable = kNotRegularFile;
    } else if (kind != PathKind::kFile) {
        source.unreadable = reason;
    }
    messages->push_back(source);
}

void WalkFolder(const std::string& folder, std::vector<MessageSource>* messages,
                std::vector<std::string>* notes) {
    std::vector<FolderEntry> entries;
    std::string reason;
    if (!ListFolder(folder, &entries, &reason)) {
        messages->push_back(MessageSource{folder, reason});
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    const bool maildir = IsMaildir(entries);
    for (const FolderEntry& entry : entries) {
        const std::string path = JoinPath(folder, entry.name);
        const bool dotted = entry.name.empty() || entry.name[0] == kHiddenMark;
        if (maildir && dotted && entry.kind == PathKind::kFolder && IsMaildirAt(path)) {
            WalkFolder(path, messages, notes); // a Maildir++ folder: .Sent, .Archive
            continue;
        }
        if (entry.hidden || dotted) {
            notes->push_back(path + ": skipped, " + (dotted ? kDottedNote : kHiddenNote));
            continue;
        }
        if (maildir && entry.name == kMaildirTmp && entry.kind == PathKind::kFolder) {
            notes->push_back(path + ": skipped, " + kMaildirTmpNote);
            continue;
        }
        if (entry.kind == PathKind::kFolder) {
            WalkFolder(path, messages, notes);
        } else if (entry.kind == PathKind::kLinkedFolder) {
            notes->push_back(path + ": a link to a folder, not followed");
        } else {
            AddFile(path, entry.kind, entry.reason, messages);
        }
    }
}

} // namespace

bool ListMessages(const std::vector<std::string>& paths, std::vector<MessageSource>* messages,
                  std::vector<std::string>* notes, std::string* error) {
    std::vector<PathKind> kinds;
    std::vector<std::string> reasons(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (paths[i] == kStandardInputPath) {
            kinds.push_back(PathKind::kFile);
            continue;
        }
        kinds.push_back(InspectPath(paths[i], &reasons[i]));
        if (kinds[i] == PathKind::kMissing) {
            *error = "no such file or folder: " + paths[i];
            return false;
        }
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (kinds[i] == PathKind::kFolder) {
            WalkFolder(paths[i], messages, notes);
        } else {
            AddFile(paths[i], kinds[i], reasons[i], messages);
        }
    }
    return true;
}
