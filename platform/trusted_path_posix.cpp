// The trusted walk on a POSIX system; see trusted_path.h.
#include "platform/trusted_path.h"

#include "platform/whole_writes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kSeparator = '/';
constexpr const char* kRoot = "/";
constexpr const char* kParent = "..";
constexpr const char* kCurrent = ".";
constexpr mode_t kNewFolderMode = 0700;
constexpr mode_t kNewFileMode = 0600;
constexpr uid_t kRootUser = 0;
// As the kernel allows, so that a loop of links ends.
constexpr unsigned kMaxLinks = 40;
constexpr nlink_t kOneName = 1;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The system's words for the last failure.
std::string SystemReason() {
    return std::strerror(errno);
}

// Root, or the user the run is for.
bool TrustedOwner(uid_t owner) {
    return owner == kRootUser || owner == geteuid();
}

// Why the folder `path` with `info` fails the trust rule, or empty.
std::string FolderProblem(const std::string& path, const struct stat& info) {
    if (!TrustedOwner(info.st_uid)) {
        return path + " belongs to another user (uid " + std::to_string(info.st_uid) +
               "), who could change what is written there";
    }
    const bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (othersWrite && (info.st_mode & S_ISVTX) == 0) {
        return path + " may be written by other users and is not sticky";
    }
    return std::string();
}

// `path`'s components, in order; empty ones (from "//") left out.
std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(kSeparator, start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// `name` in `folder`, with one separator between.
std::string Join(const std::string& folder, const std::string& name) {
    return folder == kRoot ? folder + name : folder + kSeparator + name;
}

// `path` made absolute against the current folder, which the system names
// with its links resolved.
bool Absolute(const std::string& path, std::string* absolute, std::string* reason) {
    if (!path.empty() && path[0] == kSeparator) {
        *absolute = path;
        return true;
    }
    char current[PATH_MAX];
    if (getcwd(current, sizeof(current)) == nullptr) {
        *reason = "cannot tell the current folder: " + SystemReason();
        return false;
    }
    *absolute = std::string(current) + kSeparator + path;
    return true;
}

// The folders from the root down to where the walk stands, each held.
struct FolderChain {
    std::vector<int> fds;
    std::vector<std::string> paths;
    FolderChain() = default;
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;
    ~FolderChain() { Clear(); }
    void Clear() {
        for (int fd : fds) {
            close(fd);
        }
        fds.clear();
        paths.clear();
    }
    int Top() const { return fds.back(); }
    const std::string& TopPath() const { return paths.back(); }
};

// Opens the root folder as the chain's start, checking it too.
bool StartAtRoot(FolderChain* chain, std::string* reason) {
    chain->Clear();
    const int fd = open(kRoot, kFolderFlags);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        *reason = std::string("cannot open ") + kRoot + ": " + SystemReason();
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    chain->fds.push_back(fd);
    chain->paths.push_back(kRoot);
    *reason = FolderProblem(kRoot, info);
    return reason->empty();
}

// Steps into the folder `name` below the chain's top, which lstat found
// as `listed`: opened without following a link, and the same folder.
bool StepInto(FolderChain* chain, const std::string& name, const struct stat& listed,
              std::string* reason) {
    const std::string path = Join(chain->TopPath(), name);
    std::string problem = FolderProblem(path, listed);
    if (!problem.empty()) {
        *reason = problem;
        return false;
    }
    const int fd = openat(chain->Top(), name.c_str(), kFolderFlags);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        *reason = "cannot open " + path + ": " + SystemReason();
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    if (info.st_dev != listed.st_dev || info.st_ino != listed.st_ino) {
        close(fd);
        *reason = path + " changed while it was looked at";
        return false;
    }
    chain->fds.push_back(fd);
    chain->paths.push_back(path);
    return true;
}

// Follows the link `name` below the chain's top: the rest of the way is
// the link's text, then `rest`. A link is trusted as its owner is.
bool FollowLink(FolderChain* chain, const std::string& name, const struct stat& listed,
                std::vector<std::string>* rest, std::string* reason) {
    const std::string path = Join(chain->TopPath(), name);
    if (!TrustedOwner(listed.st_uid)) {
        *reason = path + " is a link that belongs to another user (uid " +
                  std::to_string(listed.st_uid) + "), who could point it anywhere";
        return false;
    }
    char target[PATH_MAX];
    const ssize_t length = readlinkat(chain->Top(), name.c_str(), target, sizeof(target) - 1);
    if (length < 0) {
        *reason = "cannot read the link " + path + ": " + SystemReason();
        return false;
    }
    const std::string text(target, static_cast<std::size_t>(length));
    if (!text.empty() && text[0] == kSeparator && !StartAtRoot(chain, reason)) {
        return false;
    }
    const std::vector<std::string> parts = Components(text);
    rest->insert(rest->end(), parts.rbegin(), parts.rend());
    return true;
}

// Walks `path` into `chain` and `missing`.
bool Walk(const std::string& path, FolderChain* chain, std::vector<std::string>* missing,
          std::string* reason) {
    std::string absolute;
    if (!Absolute(path, &absolute, reason) || !StartAtRoot(chain, reason)) {
        return false;
    }
    // Components still to take, the next one last.
    std::vector<std::string> rest = Components(absolute);
    std::reverse(rest.begin(), rest.end());
    unsigned links = 0;
    while (!rest.empty()) {
        const std::string name = rest.back();
        rest.pop_back();
        if (name == kCurrent) {
            continue;
        }
        if (name == kParent) {
            if (!missing->empty()) {
                missing->pop_back(); // not made yet: by name
            } else if (chain->fds.size() > 1) {
                close(chain->Top());
                chain->fds.pop_back();
                chain->paths.pop_back();
            }
            continue;
        }
        if (!missing->empty()) {
            missing->push_back(name);
            continue;
        }
        struct stat listed;
        if (fstatat(chain->Top(), name.c_str(), &listed, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                *reason = "cannot look at " + Join(chain->TopPath(), name) + ": " + SystemReason();
                return false;
            }
            missing->push_back(name);
        } else if (S_ISLNK(listed.st_mode)) {
            if (++links > kMaxLinks) {
                *reason = "too many links on the way to " + path;
                return false;
            }
            if (!FollowLink(chain, name, listed, &rest, reason)) {
                return false;
            }
        } else if (S_ISDIR(listed.st_mode)) {
            if (!StepInto(chain, name, listed, reason)) {
                return false;
            }
        } else {
            *reason = Join(chain->TopPath(), name) + " is not a folder";
            return false;
        }
    }
    return true;
}

// Moves the chain's top folder into `walk`, closing the rest.
void Hold(FolderChain* chain, TrustedWalk* walk) {
    walk->handle = chain->Top();
    walk->reached = chain->TopPath();
    chain->fds.pop_back();
    chain->paths.pop_back();
}

} // namespace

std::string WalkedPath(const TrustedWalk& walk) {
    std::string path = walk.reached;
    for (const std::string& name : walk.missing) {
        path = Join(path, name);
    }
    return path;
}

bool WalkTrustedPath(const std::string& path, TrustedWalk* walk, std::string* reason) {
    CloseTrustedWalk(walk);
    FolderChain chain;
    if (!Walk(path, &chain, &walk->missing, reason)) {
        walk->missing.clear();
        return false;
    }
    Hold(&chain, walk);
    return true;
}

bool MakeWalkedFolders(TrustedWalk* walk, std::string* reason) {
    while (!walk->missing.empty()) {
        const std::string name = walk->missing.front();
        const std::string path = Join(walk->reached, name);
        const int parent = static_cast<int>(walk->handle);
        const bool made = mkdirat(parent, name.c_str(), kNewFolderMode) == 0;
        if (!made && errno != EEXIST) {
            *reason = "cannot make " + path + ": " + SystemReason();
            return false;
        }
        const int fd = openat(parent, name.c_str(), kFolderFlags);
        struct stat info;
        if (fd < 0 || fstat(fd, &info) != 0) {
            *reason = "cannot open " + path + ": " + SystemReason();
            if (fd >= 0) {
                close(fd);
            }
            return false;
        }
        // Whatever the umask: the folder holds users' mail.
        std::string problem = made && fchmod(fd, kNewFolderMode) != 0
                                  ? "cannot make " + path + " private: " + SystemReason()
                                  : FolderProblem(path, info);
        if (!problem.empty()) {
            close(fd);
            *reason = problem;
            return false;
        }
        close(parent);
        walk->handle = fd;
        walk->reached = path;
        walk->missing.erase(walk->missing.begin());
    }
    return true;
}

void CloseTrustedWalk(TrustedWalk* walk) {
    if (walk->handle >= 0) {
        close(static_cast<int>(walk->handle));
    }
    walk->handle = -1;
    walk->reached.clear();
    walk->missing.clear();
}

namespace {

// `path` split into its folder and its last name; false when it names no
// file ("dir/", "..", "").
bool SplitFilePath(const std::string& path, std::string* folder, std::string* name) {
    const std::size_t slash = path.rfind(kSeparator);
    *name = slash == std::string::npos ? path : path.substr(slash + 1);
    *folder = slash == std::string::npos ? kCurrent : path.substr(0, slash + 1);
    return !name->empty() && *name != kCurrent && *name != kParent;
}

// Walks to the existing folder of the file `path`, holding it.
bool WalkToFileFolder(const std::string& path, TrustedWalk* walk, std::string* name,
                      std::string* reason) {
    std::string folder;
    if (!SplitFilePath(path, &folder, name)) {
        *reason = "it names a folder, not a file";
        return false;
    }
    if (!WalkTrustedPath(folder, walk, reason)) {
        return false;
    }
    if (!walk->missing.empty()) {
        *reason = "the folder " + WalkedPath(*walk) + " does not exist";
        CloseTrustedWalk(walk);
        return false;
    }
    return true;
}

// Why the existing report file `info` may not be replaced, or empty.
std::string ReportFileProblem(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) {
        return "a link is there; name the file itself";
    }
    if (S_ISDIR(info.st_mode)) {
        return "it is a folder; --report names a file";
    }
    if (!S_ISREG(info.st_mode)) {
        return "it is not a regular file";
    }
    if (info.st_uid != geteuid()) {
        return "the file there belongs to another user (uid " + std::to_string(info.st_uid) +
               "), who could read the report; remove it or name another";
    }
    if (info.st_nlink != kOneName) {
        return "the file there has other names (hard links); remove it or name another";
    }
    return std::string();
}

} // namespace

bool CheckReportPlace(const std::string& path, std::string* resolved, std::string* reason) {
    TrustedWalk walk;
    std::string name;
    if (!WalkToFileFolder(path, &walk, &name, reason)) {
        return false;
    }
    *resolved = Join(walk.reached, name);
    struct stat info;
    bool ok = true;
    if (fstatat(static_cast<int>(walk.handle), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        *reason = ReportFileProblem(info);
        ok = reason->empty();
    } else if (errno != ENOENT) {
        *reason = SystemReason();
        ok = false;
    }
    CloseTrustedWalk(&walk);
    return ok;
}

bool CreateReportFile(const std::string& path, OutputFile* file, std::string* reason) {
    TrustedWalk walk;
    std::string name;
    if (!WalkToFileFolder(path, &walk, &name, reason)) {
        return false;
    }
    const int folder = static_cast<int>(walk.handle);
    int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    kNewFileMode);
    bool ok = fd >= 0;
    if (!ok && errno == EEXIST) {
        // Replaced only when it is this user's own file with no other name;
        // opened without blocking, so that a pipe put there is not waited on.
        fd =
            openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        struct stat info;
        if (fd < 0) {
            *reason = errno == ELOOP ? "a link is there; name the file itself" : SystemReason();
        } else if (fstat(fd, &info) != 0) {
            *reason = SystemReason();
        } else {
            *reason = ReportFileProblem(info);
            // What was there may have been readable by others: no longer.
            if (reason->empty() && (fchmod(fd, kNewFileMode) != 0 || ftruncate(fd, 0) != 0)) {
                *reason = SystemReason();
            }
        }
        ok = fd >= 0 && reason->empty();
    } else if (!ok) {
        *reason = SystemReason();
    }
    CloseTrustedWalk(&walk);
    if (!ok) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    *file = OutputFile{fd, false, true};
    return true;
}

CreateOutcome CreateNewFile(const std::string& path, const std::string& content,
                            std::string* reason) {
    // Saved replacements go one after another into one folder: it is
    // walked once and held for the next file, not walked again for each.
    // Nobody else can change the way to it (the trust rule), and what is
    // held stays the folder the walk found.
    static TrustedWalk held;
    static std::string heldFolder;
    std::string folder;
    std::string name;
    if (!SplitFilePath(path, &folder, &name)) {
        *reason = "it names a folder, not a file";
        return CreateOutcome::kFailed;
    }
    const bool reused = held.handle >= 0 && folder == heldFolder;
    if (reused) {
        const CreateOutcome outcome = CreateFileInFolder(held, name, content, reason);
        if (outcome != CreateOutcome::kFailed) {
            return outcome;
        }
        // The folder held may have been removed since: walked again below.
    }
    CloseTrustedWalk(&held);
    heldFolder.clear();
    if (!WalkToFileFolder(path, &held, &name, reason)) {
        return CreateOutcome::kFailed;
    }
    heldFolder = folder;
    return CreateFileInFolder(held, name, content, reason);
}

CreateOutcome CreateFileInFolder(const TrustedWalk& folder, const std::string& name,
                                 const std::string& content, std::string* reason) {
    const int folderFd = static_cast<int>(folder.handle);
    const int fd = openat(folderFd, name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
    if (fd < 0) {
        *reason = SystemReason();
        return errno == EEXIST ? CreateOutcome::kExists : CreateOutcome::kFailed;
    }
    const bool written = WriteWhole(fd, content.data(), content.size());
    if (!written) {
        *reason = SystemReason();
    }
    const bool closed = close(fd) == 0;
    if (written && !closed) {
        *reason = SystemReason();
    }
    if (!written || !closed) {
        unlinkat(folderFd, name.c_str(), 0);
        return CreateOutcome::kFailed;
    }
    return CreateOutcome::kCreated;
}
