// The messages a run covers; see message_walk.h.
#include "runner/inputs/message_walk.h"

#include "platform/system.h"
#include "runner/inputs/mail_store_files.h"
#include "runner/inputs/maildir_layout.h"

#include <algorithm>
#include <utility>

namespace {

constexpr char kHiddenMark = '.';
constexpr const char* kSkipped = ": skipped, ";
constexpr const char* kDottedNote = "its name starts with a dot";
constexpr const char* kHiddenNote = "marked hidden or system";
constexpr const char* kLinkNote = "a link, not followed";
constexpr const char* kMaildirTmpNote = "a Maildir's deliveries still being written";
constexpr const char* kBesideMaildirNote = "in a Maildir but not in its cur/ or new/";
constexpr const char* kFolderRepeatNote = "a folder walked already under another name";

// Why a listed entry that is no regular file cannot be read.
std::string UnreadableReason(const ListedEntry& entry) {
    return entry.kind == PathKind::kOther ? std::string(kNotRegularFile) : entry.reason;
}

bool IsFolder(const ListedEntry& entry) {
    return entry.kind == PathKind::kFolder && !entry.link;
}

bool Named(const ListedEntry& entry, const char* name) {
    return IsFolder(entry) && entry.name == name;
}

} // namespace

MessageWalk::MessageWalk(std::vector<std::string> paths) : paths_(std::move(paths)) {}

MessageWalk::~MessageWalk() {
    for (Level& level : levels_) {
        CloseHeldFolder(&level.folder);
    }
}

bool MessageWalk::Start(std::string* error) {
    reasons_.assign(paths_.size(), std::string());
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        const bool standardInput = paths_[i] == kStandardInputPath;
        kinds_.push_back(standardInput ? PathKind::kFile : InspectPath(paths_[i], &reasons_[i]));
        if (kinds_[i] == PathKind::kMissing) {
            *error = "no such file or folder: " + paths_[i];
            return false;
        }
    }
    return true;
}

bool MessageWalk::NamesOneFile() const {
    return paths_.size() == 1 && kinds_.size() == 1 && kinds_[0] != PathKind::kFolder;
}

// True when the file was run already under another name. Files with one
// name are remembered only when several paths are named: one walk meets a
// file with one name once, and the run's memory stays that of a folder.
bool MessageWalk::Seen(const FileIdentity& identity, std::uint64_t links) {
    if (files_.count(identity) != 0) {
        ++repeats_;
        return true;
    }
    if (paths_.size() > 1 || links > 1) {
        files_.insert(identity);
    }
    return false;
}

// Lists `folder`, found at `path`, and walks it next; it is walked once
// however many names lead to it. A folder that cannot be listed is a
// source of its own, unreadable.
MessageWalk::Entered MessageWalk::Enter(const HeldFolder& folder, const std::string& path,
                                        MessageSource* source, std::vector<std::string>* notes) {
    Level level;
    level.folder = folder;
    level.path = path;
    std::string reason;
    const bool known = folder.identity.index != kUnknownIndex;
    if (known && !folders_.insert(folder.identity).second) {
        // Another name of a folder walked already (a second named path, a
        // folder mounted inside itself): not listed again.
        notes->push_back(path + kSkipped + kFolderRepeatNote);
        CloseHeldFolder(&level.folder);
        return Entered::kSkipped;
    }
    if (!ListHeldFolder(level.folder, &level.entries, &reason)) {
        CloseHeldFolder(&level.folder);
        *source = MessageSource{path, reason, InputFile()};
        return Entered::kGave;
    }
    std::sort(level.entries.begin(), level.entries.end(),
              [](const ListedEntry& a, const ListedEntry& b) { return a.name < b.name; });
    level.maildir = IsMaildir(level.entries);
    levels_.push_back(std::move(level));
    // Folders further up are let go beyond the limit, and found again on
    // the way back.
    if (levels_.size() > HeldFolderLimit()) {
        CloseHeldFolder(&levels_[levels_.size() - 1 - HeldFolderLimit()].folder);
    }
    return Entered::kWalking;
}

// Leaves the innermost folder, whose entries are done, for the one above
// it, found again through ".." if it was let go. True when that gives a
// source: the folder above was moved meanwhile, and it and the folders
// above it that were let go are not walked further.
bool MessageWalk::Leave(MessageSource* source) {
    HeldFolder done = levels_.back().folder;
    levels_.pop_back();
    bool gave = false;
    if (!levels_.empty() && levels_.back().folder.handle == -1) {
        std::string reason;
        if (!OpenParentFolder(done, &levels_.back().folder, &reason)) {
            *source = MessageSource{levels_.back().path, reason, InputFile()};
            gave = true;
            while (!levels_.empty() && levels_.back().folder.handle == -1) {
                levels_.pop_back();
            }
        }
    }
    CloseHeldFolder(&done);
    return gave;
}

// Opens the folder `entry` of the innermost folder and walks it, when
// it is a Maildir or `needMaildir` is unset; kNotMaildir when a folder
// that needs to be a Maildir is not one, or cannot be opened to tell.
MessageWalk::Entered MessageWalk::EnterEntry(const ListedEntry& entry, const std::string& path,
                                             bool needMaildir, MessageSource* source,
                                             std::vector<std::string>* notes) {
    HeldFolder folder;
    std::string reason;
    if (!OpenEntryFolder(levels_.back().folder, entry, &folder, &reason)) {
        if (needMaildir) {
            return Entered::kNotMaildir;
        }
        *source = MessageSource{path, reason, InputFile()};
        return Entered::kGave;
    }
    if (needMaildir && !IsMaildirIn(folder)) {
        CloseHeldFolder(&folder);
        return Entered::kNotMaildir;
    }
    return Enter(folder, path, source, notes);
}

// Takes the next entry of the innermost folder: walks it, gives it as a
// source, or notes it as skipped with the reason. True when it gave a
// source.
bool MessageWalk::TakeEntry(MessageSource* source, std::vector<std::string>* notes) {
    Level& level = levels_.back();
    if (level.next == level.entries.size()) {
        return Leave(source);
    }
    const ListedEntry entry = level.entries[level.next++];
    const bool maildir = level.maildir;
    const std::string path = JoinPath(level.path, entry.name);
    if (maildir && Named(entry, kMaildirTmp)) {
        notes->push_back(path + kSkipped + kMaildirTmpNote);
        return false;
    }
    // Maildir++ folders (.Sent, .Trash) and Dovecot's plain-named ones
    // are Maildirs inside the Maildir: walked by the same rules.
    if (maildir && (Named(entry, kMaildirCur) || Named(entry, kMaildirNew))) {
        return EnterEntry(entry, path, false, source, notes) == Entered::kGave;
    }
    if (maildir && IsFolder(entry)) {
        const Entered entered = EnterEntry(entry, path, true, source, notes);
        if (entered != Entered::kNotMaildir) {
            return entered == Entered::kGave;
        }
    }
    const bool dotted = entry.name.empty() || entry.name[0] == kHiddenMark;
    if (entry.hidden || dotted) {
        notes->push_back(path + kSkipped + (dotted ? kDottedNote : kHiddenNote));
        return false;
    }
    if (entry.link) {
        notes->push_back(path + kSkipped + kLinkNote);
        return false;
    }
    if (const char* note = MailStoreFileNote(entry.name, IsFolder(entry))) {
        notes->push_back(path + kSkipped + note);
        return false;
    }
    if (maildir) {
        notes->push_back(path + kSkipped + kBesideMaildirNote);
        return false;
    }
    if (IsFolder(entry)) {
        return EnterEntry(entry, path, false, source, notes) == Entered::kGave;
    }
    if (entry.kind != PathKind::kFile) {
        *source = MessageSource{path, UnreadableReason(entry), InputFile()};
        return true;
    }
    const bool listedIdentity = entry.identity.index != kUnknownIndex;
    if (listedIdentity && Seen(entry.identity, entry.links)) {
        return false;
    }
    *source = MessageSource{path, std::string(), InputFile()};
    if (!OpenEntryFile(levels_.back().folder, entry, &source->file, &source->unreadable) ||
        (listedIdentity && entry.links != kLinksUnknown)) {
        return true;
    }
    // The listing could not tell who the file is, or whether other names
    // lead to it; the open file can.
    FileIdentity identity;
    std::uint64_t links = 0;
    if (!IdentifyInputFile(source->file, &identity, &links) || identity.index == kUnknownIndex) {
        return true;
    }
    if (!listedIdentity && Seen(identity, links)) {
        CloseInputFile(&source->file);
        return false;
    }
    if (links > 1) {
        files_.insert(identity);
    }
    return true;
}

// Notes how many files of the named path just done were run already.
void MessageWalk::EndNamed(std::vector<std::string>* notes) {
    if (repeats_ != 0) {
        notes->push_back(paths_[named_ - 1] + ": " + std::to_string(repeats_) +
                         (repeats_ == 1 ? " file" : " files") +
                         " run already under another name, run once");
    }
    repeats_ = 0;
}

// Starts on the next named path. True when it gives a source itself.
bool MessageWalk::StartNamed(MessageSource* source, std::vector<std::string>* notes) {
    const std::size_t i = named_++;
    const std::string& path = paths_[i];
    *source = MessageSource{path, std::string(), InputFile()};
    bool given = true;
    if (path == kStandardInputPath) {
        given = !standardInputSeen_;
        repeats_ += given ? 0 : 1;
        standardInputSeen_ = true;
    } else if (kinds_[i] == PathKind::kFolder) {
        HeldFolder folder;
        if (!OpenNamedFolder(path, &folder, &source->unreadable)) {
            return true;
        }
        const Entered entered = Enter(folder, path, source, notes);
        inNamed_ = entered == Entered::kWalking;
        if (inNamed_) {
            return false;
        }
        given = entered == Entered::kGave;
    } else if (kinds_[i] == PathKind::kOther) {
        source->unreadable = kNotRegularFile;
    } else if (kinds_[i] != PathKind::kFile) {
        source->unreadable = reasons_[i];
    } else if (OpenInputFile(path, &source->file, &source->unreadable)) {
        FileIdentity identity;
        std::uint64_t links = 0;
        if (IdentifyInputFile(source->file, &identity, &links) && identity.index != kUnknownIndex &&
            Seen(identity, links)) {
            CloseInputFile(&source->file);
            given = false;
        }
    }
    EndNamed(notes);
    return given;
}

bool MessageWalk::Next(MessageSource* source, std::vector<std::string>* notes) {
    if (kinds_.size() != paths_.size()) {
        return false; // not started, or a named path is missing
    }
    for (;;) {
        if (!levels_.empty()) {
            if (TakeEntry(source, notes)) {
                return true;
            }
            continue;
        }
        if (inNamed_) {
            inNamed_ = false;
            EndNamed(notes);
        }
        if (named_ >= paths_.size()) {
            return false;
        }
        if (StartNamed(source, notes)) {
            return true;
        }
    }
}
