// The private folder on a POSIX system; see private_folder.h.
#include "platform/private_folder.h"

#include "platform/trusted_path.h"
#include "platform/whole_writes.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder's name: a fixed start that says whose it is, then letters
// no one can guess.
constexpr const char* kFolderPrefix = "velmora-";
constexpr std::size_t kRandomLetters = 12;
constexpr const char* kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kLetterCount = 36;
constexpr unsigned kCreateAttempts = 16;
constexpr const char* kTempVariable = "TMPDIR";
constexpr const char* kSystemTempFolder = "/tmp";
constexpr char kSeparator = '/';
constexpr mode_t kPrivateFolderMode = 0700;
// Copies are for this user alone: the mode asked for at creation is never
// widened by the umask, so no fchmod follows.
constexpr mode_t kCopyMode = 0600;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr std::size_t kNameBytes = 256;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What is held, in plain variables that a signal handler may read: the
// folder, the folder it lies in, its name there and its identity.
int g_folder = -1;
int g_parent = -1;
char g_name[kNameBytes] = {};
dev_t g_device = 0;
ino_t g_inode = 0;
// The copy in flight, for the signal handler; read only while complete.
char g_copy[kNameBytes] = {};
volatile std::sig_atomic_t g_copyNoted = 0;

// The system's words for the last failure.
std::string SystemReason() {
    return std::strerror(errno);
}

// Random letters from the system's generator. False if it has none.
bool RandomName(std::string* name) {
    unsigned char bytes[kRandomLetters];
    if (getentropy(bytes, sizeof(bytes)) != 0) {
        return false;
    }
    name->assign(kFolderPrefix);
    for (unsigned char byte : bytes) {
        *name += kLetters[byte % kLetterCount];
    }
    return true;
}

// Makes a folder of a random name in the held `parent` and holds it.
bool MakeIn(const TrustedWalk& parent, std::string* reason) {
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string name;
        if (!RandomName(&name)) {
            *reason = "no random numbers from the system: " + SystemReason();
            return false;
        }
        const int at = static_cast<int>(parent.handle);
        if (mkdirat(at, name.c_str(), kPrivateFolderMode) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            *reason =
                "cannot make a folder of its own in " + parent.reached + ": " + SystemReason();
            return false;
        }
        const int fd = openat(at, name.c_str(), kFolderFlags);
        struct stat info;
        if (fd < 0 || fstat(fd, &info) != 0 || info.st_uid != geteuid() ||
            fchmod(fd, kPrivateFolderMode) != 0) {
            *reason = "cannot hold the folder made in " + parent.reached;
            if (fd >= 0) {
                close(fd);
            }
            return false;
        }
        // What the signal handler reads, the descriptors last.
        std::memcpy(g_name, name.c_str(), name.size() + 1);
        g_device = info.st_dev;
        g_inode = info.st_ino;
        g_parent = dup(at);
        g_folder = fd;
        return true;
    }
    *reason = "cannot make a folder of its own in " + parent.reached;
    return false;
}

// Walks to the folder named by `path` when it exists and passes the trust
// rule; false with `reason` otherwise.
bool WalkToExisting(const std::string& path, TrustedWalk* walk, std::string* reason) {
    if (!WalkTrustedPath(path, walk, reason)) {
        return false;
    }
    if (!walk->missing.empty()) {
        *reason = WalkedPath(*walk) + " does not exist";
        CloseTrustedWalk(walk);
        return false;
    }
    return true;
}

// Removes what the folder `fd` holds, and folders in it with what they
// hold, by descriptor: links are removed as themselves.
void EmptyFolder(int fd) {
    const int listing = dup(fd);
    DIR* folder = listing >= 0 ? fdopendir(listing) : nullptr;
    if (folder == nullptr) {
        if (listing >= 0) {
            close(listing);
        }
        return;
    }
    while (const struct dirent* entry = readdir(folder)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        if (unlinkat(fd, name, 0) == 0 || (errno != EISDIR && errno != EPERM)) {
            continue;
        }
        const int inner = openat(fd, name, kFolderFlags);
        if (inner >= 0) {
            EmptyFolder(inner);
            close(inner);
        }
        unlinkat(fd, name, AT_REMOVEDIR);
    }
    closedir(folder);
}

// Removes the held folder from the one it lies in, only while its name
// there still leads to it. Safe in a signal handler.
void RemoveHeldName() {
    struct stat info;
    if (g_parent >= 0 && fstatat(g_parent, g_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(info.st_mode) && info.st_dev == g_device && info.st_ino == g_inode) {
        unlinkat(g_parent, g_name, AT_REMOVEDIR);
    }
}

// Removes the copy in flight and the folder with calls that are safe in a
// signal handler, then lets the signal end the process as it would have.
void OnInterruptSignal(int signal) {
    if (g_folder >= 0 && g_copyNoted != 0) {
        unlinkat(g_folder, g_copy, 0);
    }
    RemoveHeldName();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// Sets `reason` from the last failure; false, for returning.
bool Failed(std::string* reason) {
    *reason = SystemReason();
    return false;
}

} // namespace

std::string MakePrivateFolder(std::size_t room, std::size_t limit, std::string* note,
                              std::string* reason) {
    // The folder's own name and a separator after it.
    const std::size_t needed = 1 + std::strlen(kFolderPrefix) + kRandomLetters + 1 + room;
    TrustedWalk parent;
    const char* variable = std::getenv(kTempVariable);
    if (variable != nullptr && variable[0] != '\0') {
        std::string problem;
        if (!WalkToExisting(variable, &parent, &problem)) {
            *note = std::string("the temporary folder ") + kTempVariable + "=" + variable +
                    " is not used: " + problem + "; the copies go to " + kSystemTempFolder;
        } else if (parent.reached.size() + needed >= limit) {
            // Too deep for the server's path buffer: /tmp is short on every system.
            CloseTrustedWalk(&parent);
        }
    }
    if (parent.handle < 0 && !WalkToExisting(kSystemTempFolder, &parent, reason)) {
        *reason = std::string("no temporary folder to use: ") + *reason;
        return std::string();
    }
    const bool made = MakeIn(parent, reason);
    std::string path = parent.reached;
    CloseTrustedWalk(&parent);
    if (!made) {
        return std::string();
    }
    if (path.back() != kSeparator) {
        path += kSeparator;
    }
    return path + g_name + kSeparator;
}

void RemovePrivateFolder() {
    if (g_folder < 0) {
        return;
    }
    EmptyFolder(g_folder);
    RemoveHeldName();
    close(g_folder);
    close(g_parent);
    g_folder = -1;
    g_parent = -1;
}

void RemovePrivateFolderOnInterrupt() {
    for (int signal : kSignals) {
        struct sigaction before {};
        sigaction(signal, nullptr, &before);
        if (before.sa_handler == SIG_IGN) {
            continue; // ignored by whoever started the run: stays so
        }
        struct sigaction handler {};
        handler.sa_handler = &OnInterruptSignal;
        sigemptyset(&handler.sa_mask);
        for (int other : kSignals) {
            sigaddset(&handler.sa_mask, other); // one cleanup at a time
        }
        sigaction(signal, &handler, nullptr);
    }
}

void NotePrivateCopy(const std::string& name) {
    g_copyNoted = 0;
    if (name.size() < sizeof(g_copy)) {
        std::memcpy(g_copy, name.c_str(), name.size() + 1);
        g_copyNoted = 1;
    }
}

bool CreatePrivateCopy(const std::string& name, std::intptr_t* copy, std::string* reason) {
    const int fd = openat(g_folder, name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCopyMode);
    if (fd < 0) {
        return Failed(reason);
    }
    *copy = fd;
    return true;
}

bool OpenPrivateCopy(const std::string& name, std::intptr_t* copy, std::string* reason) {
    // Only this user can put anything in the folder, and the copies are
    // made there as regular files: no check of the kind is needed.
    const int fd = openat(g_folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return Failed(reason);
    }
    *copy = fd;
    return true;
}

bool WritePrivateCopy(std::intptr_t copy, const char* bytes, std::size_t size,
                      std::string* reason) {
    return WriteWhole(copy, bytes, size) || Failed(reason);
}

bool ReadPrivateCopy(std::intptr_t copy, char* buffer, std::size_t size, std::size_t* got,
                     std::string* reason) {
    for (;;) {
        const ssize_t count = read(static_cast<int>(copy), buffer, size);
        if (count >= 0) {
            *got = static_cast<std::size_t>(count);
            return true;
        }
        if (errno != EINTR) {
            return Failed(reason);
        }
    }
}

bool ClosePrivateCopy(std::intptr_t copy, std::string* reason) {
    return close(static_cast<int>(copy)) == 0 || Failed(reason);
}

bool PrivateCopyStillNamed(std::intptr_t copy, const std::string& /*name*/) {
    // A file deleted while open has no name left.
    struct stat info;
    return fstat(static_cast<int>(copy), &info) == 0 && info.st_nlink > 0;
}

bool PrivateCopyExists(const std::string& name) {
    struct stat info;
    return g_folder >= 0 && fstatat(g_folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

void RemovePrivateCopy(const std::string& name) {
    if (unlinkat(g_folder, name.c_str(), 0) != 0 && (errno == EISDIR || errno == EPERM)) {
        unlinkat(g_folder, name.c_str(), AT_REMOVEDIR);
    }
}
