// The messages a run covers; see message_list.h.
#include "runner/message_list.h"

#include "platform/system.h"
#include "runner/mail_store_files.h"
#include "runner/maildir_layout.h"

#include <algorithm>
#include <set>

namespace {

constexpr char kHiddenMark = '.';
constexpr const char* kNotRegularFile = "not a regular file";
constexpr const char* kSkipped = ": skipped, ";
constexpr const char* kDottedNote = "its name starts with a dot";
constexpr const char* kHiddenNote = "marked hidden or system";
constexpr const char* kMaildirTmpNote = "a Maildir's deliveries still being written";
constexpr const char* kBesideMaildirNote = "in a Maildir but not in its cur/ or new/";
// Standard input has no path; no file's key is empty.
const std::string kStandardInputKey;

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

bool Named(const FolderEntry& entry, const char* name) {
    return entry.kind == PathKind::kFolder && entry.name == name;
}

void WalkFolder(const std::string& folder, std::vector<MessageSource>* messages,
                std::vector<std::string>* notes);

// One entry of `folder`, which is a Maildir when `maildir` is set: walked,
// listed, or noted as skipped with the reason.
void WalkEntry(const std::string& folder, const FolderEntry& entry, bool maildir,
               std::vector<MessageSource>* messages, std::vector<std::string>* notes) {
    const std::string path = JoinPath(folder, entry.name);
    const bool folderEntry = entry.kind == PathKind::kFolder;
    if (maildir && Named(entry, kMaildirTmp)) {
        notes->push_back(path + kSkipped + kMaildirTmpNote);
        return;
    }
    // Maildir++ folders (.Sent, .Trash) and Dovecot's plain-named ones
    // are Maildirs inside the Maildir: walked by the same rules.
    if (maildir && (Named(entry, kMaildirCur) || Named(entry, kMaildirNew) ||
                    (folderEntry && IsMaildirAt(path)))) {
        WalkFolder(path, messages, notes);
        return;
    }
    const bool dotted = entry.name.empty() || entry.name[0] == kHiddenMark;
    if (entry.hidden || dotted) {
        notes->push_back(path + kSkipped + (dotted ? kDottedNote : kHiddenNote));
        return;
    }
    if (entry.kind == PathKind::kLinkedFolder) {
        notes->push_back(path + ": a link to a folder, not followed");
        return;
    }
    if (const char* note = MailStoreFileNote(entry.name, folderEntry)) {
        notes->push_back(path + kSkipped + note);
        return;
    }
    if (maildir) {
        notes->push_back(path + kSkipped + kBesideMaildirNote);
    } else if (folderEntry) {
        WalkFolder(path, messages, notes);
    } else {
        AddFile(path, entry.kind, entry.reason, messages);
    }
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
        WalkEntry(folder, entry, maildir, messages, notes);
    }
}

// Moves the sources `found` under the named path `named` to `messages`,
// less those whose key is in `seen` already, and notes how many were
// dropped so.
void AddUnseen(const std::string& named, const std::vector<MessageSource>& found,
               std::set<std::string>* seen, std::vector<MessageSource>* messages,
               std::vector<std::string>* notes) {
    std::size_t repeats = 0;
    for (const MessageSource& source : found) {
        const std::string key =
            source.path == kStandardInputPath ? kStandardInputKey : PathKey(source.path);
        if (seen->insert(key).second) {
            messages->push_back(source);
        } else {
            ++repeats;
        }
    }
    if (repeats != 0) {
        notes->push_back(named + ": " + std::to_string(repeats) +
                         (repeats == 1 ? " file" : " files") +
                         " listed already under a path named before it, run once");
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
    // One path names nothing twice (but through links to files, listed
    // under each name): only several paths pay for a key per file.
    const bool mayRepeat = paths.size() > 1;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::vector<MessageSource> found;
        if (kinds[i] == PathKind::kFolder) {
            WalkFolder(paths[i], &found, notes);
        } else {
            AddFile(paths[i], kinds[i], reasons[i], &found);
        }
        if (mayRepeat) {
            AddUnseen(paths[i], found, &seen, messages, notes);
        } else {
            messages->insert(messages->end(), found.begin(), found.end());
        }
    }
    return true;
}
