// The runner's view of a POSIX system; see runner_platform.h.
#include "tools/runner_platform.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kSeparator = '/';
constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kNewFolderMode = 0755;

std::string SystemReason() {
    return std::strerror(errno);
}

PathKind KindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return PathKind::kFile;
    }
    return S_ISDIR(info.st_mode) ? PathKind::kFolder : PathKind::kOther;
}

// An entry inside a folder: links to files count as files, links to
// folders are not followed (they may lead back up the tree).
FolderEntry InspectEntry(const std::string& folder, const std::string& name) {
    const std::string path = JoinPath(folder, name);
    FolderEntry entry{name, PathKind::kUnknown, std::string(), false};
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        entry.kind = errno == ENOENT ? PathKind::kMissing : PathKind::kUnknown;
        entry.reason = SystemReason();
        return entry;
    }
    if (!S_ISLNK(info.st_mode)) {
        entry.kind = KindOf(info);
        return entry;
    }
    entry.kind = InspectPath(path, &entry.reason);
    if (entry.kind == PathKind::kFolder) {
        entry.kind = PathKind::kLinkedFolder;
    }
    return entry;
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t wrote = write(fd, content.data() + done, content.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

PathKind InspectPath(const std::string& path, std::string* reason) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        const int error = errno;
        *reason = std::strerror(error);
        return error == ENOENT || error == ENOTDIR ? PathKind::kMissing : PathKind::kUnknown;
    }
    return KindOf(info);
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>* entries, std::string* reason) {
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) {
        *reason = SystemReason();
        return false;
    }
    errno = 0;
    while (const struct dirent* item = readdir(folder)) {
        const std::string name = item->d_name;
        if (name != "." && name != "..") {
            entries->push_back(InspectEntry(path, name));
        }
        errno = 0;
    }
    const bool complete = errno == 0;
    if (!complete) {
        *reason = SystemReason();
    }
    closedir(folder);
    return complete;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == kSeparator) {
        return folder + name;
    }
    return folder + kSeparator + name;
}

std::string BaseName(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == kSeparator) {
        trimmed.pop_back();
    }
    const std::size_t slash = trimmed.rfind(kSeparator);
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

CreateOutcome CreateNewFile(const std::string& path, const std::string& content,
                            std::string* reason) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, kNewFileMode);
    if (fd < 0) {
        *reason = SystemReason();
        return errno == EEXIST ? CreateOutcome::kExists : CreateOutcome::kFailed;
    }
    const bool written = WriteAll(fd, content);
    if (!written) {
        *reason = SystemReason();
    }
    const bool closed = close(fd) == 0;
    if (written && !closed) {
        *reason = SystemReason();
    }
    if (!written || !closed) {
        unlink(path.c_str());
        return CreateOutcome::kFailed;
    }
    return CreateOutcome::kCreated;
}

CreateOutcome CreateFolder(const std::string& path, std::string* reason) {
    if (mkdir(path.c_str(), kNewFolderMode) == 0) {
        return CreateOutcome::kCreated;
    }
    const int error = errno;
    *reason = std::strerror(error);
    return error == EEXIST ? CreateOutcome::kExists : CreateOutcome::kFailed;
}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

bool StandardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}
