// Walking by descriptor on POSIX systems; see held_folder.h.
#include "platform/held_folder.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kSuperuser = 0;
// Folders held open at once: well below the usual limit of 1024
// descriptors, with room for the stand-in's files.
constexpr std::size_t kHeldFolders = 64;
constexpr const char* kMoved = "it was moved while it was walked; the rest of it is not read";
constexpr const char* kIsLink =
    "it became a link between the listing and the opening; not followed";
constexpr const char* kNotFolder = "it is no longer a folder";
constexpr const char* kReplaced = "it was replaced between the listing and the opening";
constexpr const char* kUntrustedOwner =
    "it belongs to another user than its folder's owner; not read as the superuser";
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Without blocking: a pipe swapped in for a listed file would wait for a
// writer for ever.
constexpr int kFileFlags = O_RDONLY | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
// The file status flags an open file keeps: plain reading.
constexpr int kReadFlags = O_RDONLY;

// True when the run has the superuser's rights, asked once: it does not
// change while the runner runs.
bool RunBySuperuser() {
    static const bool superuser = geteuid() == kSuperuser;
    return superuser;
}

std::string SystemReason() {
    return std::strerror(errno);
}

FileIdentity IdentityOf(const struct stat& info) {
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

// Fills `folder` from the open descriptor `fd`, which it then owns.
bool Hold(int fd, HeldFolder* folder, std::string* reason) {
    struct stat info;
    if (fstat(fd, &info) != 0) {
        *reason = SystemReason();
        close(fd);
        return false;
    }
    *folder = HeldFolder{fd, IdentityOf(info), static_cast<std::uint64_t>(info.st_uid)};
    return true;
}

// Looks at `name` in `folder` without following a link.
ListedEntry InspectEntry(int folder, const char* name) {
    ListedEntry entry;
    entry.name = name;
    struct stat info;
    if (fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.reason = SystemReason();
        entry.kind = errno == ENOENT ? PathKind::kMissing : PathKind::kUnknown;
        return entry;
    }
    entry.link = S_ISLNK(info.st_mode);
    entry.kind = S_ISREG(info.st_mode)   ? PathKind::kFile
                 : S_ISDIR(info.st_mode) ? PathKind::kFolder
                                         : PathKind::kOther;
    entry.identity = IdentityOf(info);
    entry.links = static_cast<std::uint64_t>(info.st_nlink);
    return entry;
}

// Why opening `name` in `folder` failed with `error`, in the walk's
// words: refused with O_NOFOLLOW, a link says ELOOP, or ENOTDIR when a
// folder was asked for.
std::string OpenFailure(int folder, const char* name, int error) {
    if (error != ELOOP && error != ENOTDIR) {
        return std::strerror(error);
    }
    struct stat info;
    const bool link =
        fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
    return link || error == ELOOP ? kIsLink : kNotFolder;
}

} // namespace

bool OpenNamedFolder(const std::string& path, HeldFolder* folder, std::string* reason) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *reason = SystemReason();
        return false;
    }
    return Hold(fd, folder, reason);
}

bool OpenEntryFolder(const HeldFolder& parent, const ListedEntry& entry, HeldFolder* folder,
                     std::string* reason) {
    const int fd = openat(static_cast<int>(parent.handle), entry.name.c_str(), kFolderFlags);
    if (fd < 0) {
        *reason = OpenFailure(static_cast<int>(parent.handle), entry.name.c_str(), errno);
        return false;
    }
    if (!Hold(fd, folder, reason)) {
        return false;
    }
    if (!(folder->identity == entry.identity)) {
        *reason = kReplaced;
        CloseHeldFolder(folder);
        return false;
    }
    return true;
}

bool ListHeldFolder(const HeldFolder& folder, std::vector<ListedEntry>* entries,
                    std::string* reason) {
    // A descriptor of its own: the listing reads from the start and the
    // held one keeps no position.
    const int fd = openat(static_cast<int>(folder.handle), ".", kFolderFlags);
    DIR* listing = fd < 0 ? nullptr : fdopendir(fd);
    if (listing == nullptr) {
        *reason = SystemReason();
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    errno = 0;
    while (const struct dirent* item = readdir(listing)) {
        if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0) {
            entries->push_back(InspectEntry(static_cast<int>(folder.handle), item->d_name));
        }
        errno = 0;
    }
    const bool complete = errno == 0;
    if (!complete) {
        *reason = SystemReason();
    }
    closedir(listing);
    return complete;
}

bool HoldsFolder(const HeldFolder& folder, const char* name) {
    struct stat info;
    return fstatat(static_cast<int>(folder.handle), name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(info.st_mode);
}

bool OpenEntryFile(const HeldFolder& parent, const ListedEntry& entry, InputFile* file,
                   std::string* reason) {
    const int fd = openat(static_cast<int>(parent.handle), entry.name.c_str(), kFileFlags);
    if (fd < 0) {
        *reason = OpenFailure(static_cast<int>(parent.handle), entry.name.c_str(), errno);
        return false;
    }
    struct stat info;
    std::string refusal;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        refusal = kNotRegularFile;
    } else if (!(IdentityOf(info) == entry.identity)) {
        refusal = kReplaced;
    } else if (RunBySuperuser() && parent.owner != kSuperuser &&
               static_cast<std::uint64_t>(info.st_uid) != parent.owner) {
        refusal = kUntrustedOwner;
    } else {
        // Open, it reads blocking again, as any file. The status flags
        // it was opened with are known: none but O_NONBLOCK is one that
        // F_SETFL sets, so no F_GETFL is needed.
        if (fcntl(fd, F_SETFL, kReadFlags) != 0) {
            refusal = SystemReason();
        }
    }
    if (!refusal.empty()) {
        *reason = refusal;
        close(fd);
        return false;
    }
    file->handle = fd;
    file->standardInput = false;
    file->openedSize = static_cast<std::int64_t>(info.st_size);
    return true;
}

bool IdentifyInputFile(const InputFile& file, FileIdentity* identity, std::uint64_t* links) {
    struct stat info;
    if (file.standardInput || fstat(static_cast<int>(file.handle), &info) != 0 ||
        !S_ISREG(info.st_mode)) {
        return false;
    }
    *identity = IdentityOf(info);
    *links = static_cast<std::uint64_t>(info.st_nlink);
    return true;
}

std::size_t HeldFolderLimit() {
    return kHeldFolders;
}

bool OpenParentFolder(const HeldFolder& folder, HeldFolder* parent, std::string* reason) {
    const int fd = openat(static_cast<int>(folder.handle), "..", kFolderFlags);
    HeldFolder found;
    if (fd < 0 || !Hold(fd, &found, reason)) {
        if (fd < 0) {
            *reason = SystemReason();
        }
        return false;
    }
    if (!(found.identity == parent->identity)) {
        *reason = kMoved;
        CloseHeldFolder(&found);
        return false;
    }
    *parent = found;
    return true;
}

void CloseHeldFolder(HeldFolder* folder) {
    if (folder->handle >= 0) {
        close(static_cast<int>(folder->handle));
    }
    folder->handle = -1;
}
