// The runner's view of a POSIX system; see system.h.
#include "platform/system.h"

#include "platform/sha256.h"
#include "platform/whole_writes.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kSeparator = '/';
constexpr std::size_t kHashChunk = 64 * 1024;

std::string SystemReason() {
    return std::strerror(errno);
}

PathKind KindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return PathKind::kFile;
    }
    return S_ISDIR(info.st_mode) ? PathKind::kFolder : PathKind::kOther;
}

} // namespace

void PinSystemLibraries() {
    // The dynamic loader looks for libraries in the system's folders only.
}

PathKind InspectPath(const std::string& path, std::string* reason) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        const int error = errno;
        *reason = std::strerror(error);
        return error == ENOENT || error == ENOTDIR ? PathKind::kMissing : PathKind::kUnknown;
    }
    return KindOf(info);
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

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

bool StandardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

void IgnoreBrokenPipes() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string PathKey(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    // Not there yet: the key of its folder and its name.
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == kSeparator) {
        trimmed.pop_back();
    }
    const std::size_t slash = trimmed.rfind(kSeparator);
    const std::string folder = slash == std::string::npos ? "." : trimmed.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (realpath(folder.c_str(), resolved) == nullptr) {
        return trimmed;
    }
    return JoinPath(resolved, name);
}

char PathSeparator() {
    return kSeparator;
}

// POSIX programs have no help option of the system's own.
const char* SystemHelpOption() {
    return nullptr;
}

bool OpenInputFile(const std::string& path, InputFile* file, std::string* reason) {
    if (path == kStandardInputPath) {
        file->handle = STDIN_FILENO;
        file->standardInput = true;
        file->openedSize = -1;
        return true;
    }
    // Without blocking: a pipe swapped in for a listed file would wait for
    // a writer for ever. Only a regular file is read.
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = SystemReason();
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *reason = kNotRegularFile;
        close(fd);
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        *reason = SystemReason();
        close(fd);
        return false;
    }
    file->handle = fd;
    file->standardInput = false;
    file->openedSize = static_cast<std::int64_t>(info.st_size);
    return true;
}

bool ReadInputFile(InputFile* file, char* buffer, std::size_t size, std::size_t* got,
                   std::string* reason) {
    for (;;) {
        const ssize_t count = read(static_cast<int>(file->handle), buffer, size);
        if (count >= 0) {
            *got = static_cast<std::size_t>(count);
            return true;
        }
        if (errno != EINTR) {
            *reason = SystemReason();
            return false;
        }
    }
}

void CloseInputFile(InputFile* file) {
    if (file->handle >= 0 && !file->standardInput) {
        close(static_cast<int>(file->handle));
    }
    file->handle = -1;
    file->openedSize = -1;
}

std::uint64_t InputFileSize(const InputFile& file) {
    if (file.openedSize >= 0) {
        return static_cast<std::uint64_t>(file.openedSize);
    }
    struct stat info;
    if (fstat(static_cast<int>(file.handle), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

OutputFile StandardOutput() {
    return OutputFile{STDOUT_FILENO, false, false};
}

OutputFile StandardError() {
    return OutputFile{STDERR_FILENO, false, false};
}

bool WriteOutputFile(const OutputFile& file, const std::string& text, std::string* reason) {
    if (!WriteWhole(file.handle, text.data(), text.size())) {
        *reason = SystemReason();
        return false;
    }
    return true;
}

bool CloseOutputFile(OutputFile* file, std::string* reason) {
    if (!file->owned || file->handle < 0) {
        return true;
    }
    const bool closed = close(static_cast<int>(file->handle)) == 0;
    if (!closed) {
        *reason = SystemReason();
    }
    file->handle = -1;
    return closed;
}

bool TextFilesUseCrlf() {
    return false;
}

bool FileSha256(const std::string& path, std::string* hex, std::string* reason) {
    InputFile file;
    if (!OpenInputFile(path, &file, reason)) {
        return false;
    }
    Sha256 hash;
    std::vector<char> chunk(kHashChunk);
    std::size_t got = 0;
    bool ok = true;
    while ((ok = ReadInputFile(&file, chunk.data(), chunk.size(), &got, reason)) && got > 0) {
        hash.Update(chunk.data(), got);
    }
    CloseInputFile(&file);
    if (ok) {
        *hex = hash.HexDigest();
    }
    return ok;
}

std::string ModuleFileVersion(const std::string& /*path*/) {
    return std::string(); // shared libraries carry no version of their own
}
