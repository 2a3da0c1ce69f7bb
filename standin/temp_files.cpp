// Temporary message copies of the stand-in server; see temp_files.h.
#include "standin/temp_files.h"

#include "standin/private_temp_folder.h"
#include "platform/whole_writes.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include "platform/windows_text.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The longest name of a copy: a serial of up to ten digits and ".tmp",
// with room for a caller's suffix on a scratch name.
constexpr std::size_t kLongestCopyName = 24;
constexpr const char* kCopyExtension = ".tmp";
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr const char* kNotRegularFile = "not a regular file";

#ifdef _WIN32

std::string LastError() {
    return WindowsErrorText(GetLastError());
}

HANDLE OpenForReading(const std::string& path) {
    // FILE_FLAG_OPEN_REPARSE_POINT: a link planted at the name is opened
    // as itself, and then it is no regular file.
    return CreateFileW(WideFromAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

#else

std::string LastError() {
    return std::strerror(errno);
}

// Copies are for this user alone, whatever the umask.
constexpr mode_t kCopyMode = 0600;

#endif

} // namespace

bool TempCopyPath(unsigned serial, std::string* path, std::string* reason) {
    const std::string folder = PrivateTempFolder(kLongestCopyName, reason);
    if (folder.empty()) {
        return false;
    }
    *path = folder + std::to_string(serial) + kCopyExtension;
    return true;
}

std::string UniqueTempPath(unsigned serial) {
    std::string path;
    std::string reason;
    return TempCopyPath(serial, &path, &reason) ? path : std::string();
}

TempCopyWriter::~TempCopyWriter() {
    Abandon();
}

void TempCopyWriter::Abandon() {
    if (handle_ == -1) {
        return;
    }
#ifdef _WIN32
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
    close(static_cast<int>(handle_));
#endif
    handle_ = -1;
    RemoveFile(path_);
}

bool TempCopyWriter::Create(const std::string& path, std::string* reason) {
    Abandon();
    path_ = path;
#ifdef _WIN32
    HANDLE file = CreateFileW(WideFromAnsi(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *reason = LastError();
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
#else
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCopyMode);
    if (fd < 0) {
        *reason = LastError();
        return false;
    }
    handle_ = fd;
    if (fchmod(fd, kCopyMode) != 0) {
        *reason = LastError();
        Abandon();
        return false;
    }
#endif
    return true;
}

bool TempCopyWriter::Write(const std::string& piece, std::string* reason) {
    const bool written = WriteWhole(handle_, piece.data(), piece.size());
    if (!written) {
        *reason = LastError();
        Abandon();
    }
    return written;
}

bool TempCopyWriter::Finish(std::string* reason) {
#ifdef _WIN32
    const bool closed = CloseHandle(reinterpret_cast<HANDLE>(handle_)) != 0;
#else
    const bool closed = close(static_cast<int>(handle_)) == 0;
#endif
    handle_ = -1;
    if (!closed) {
        *reason = LastError();
        RemoveFile(path_);
    }
    return closed;
}

bool CreateTempCopy(const std::string& path, const std::vector<std::string>& lines,
                    std::string* reason) {
    TempCopyWriter writer;
    if (!writer.Create(path, reason)) {
        return false;
    }
    for (const std::string& line : lines) {
        if (!writer.Write(line, reason)) {
            return false;
        }
    }
    return writer.Finish(reason);
}

namespace {

// Where the header section of `text` ends (after its empty line), looking
// from `from` on; npos when it has not ended yet.
std::size_t HeaderEnd(const std::string& text, std::size_t from) {
    for (std::size_t feed = text.find('\n', from); feed != std::string::npos;
         feed = text.find('\n', feed + 1)) {
        if (feed == 0) {
            return 1; // an empty first line: no header at all
        }
        const bool emptyLf = text[feed - 1] == '\n';
        const bool emptyCrLf = feed >= 2 && text[feed - 1] == '\r' && text[feed - 2] == '\n';
        if (emptyLf || emptyCrLf) {
            return feed + 1;
        }
    }
    return std::string::npos;
}

// Takes a piece read from the file; true when enough is read.
bool Take(std::string* content, const char* piece, std::size_t size, bool headerOnly) {
    const std::size_t before = content->size();
    content->append(piece, size);
    if (!headerOnly) {
        return false;
    }
    // The empty line may have begun in the piece before.
    const std::size_t end = HeaderEnd(*content, before >= 2 ? before - 2 : 0);
    if (end != std::string::npos) {
        content->resize(end);
        return true;
    }
    return false;
}

// Reads the file, all of it or its header section, not through a link.
bool ReadCopy(const std::string& path, std::string* content, std::string* reason, bool headerOnly) {
    content->clear();
    std::string chunk(kReadChunk, '\0');
#ifdef _WIN32
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE) {
        *reason = LastError();
        return false;
    }
    bool ok = GetFileType(file) == FILE_TYPE_DISK;
    if (!ok) {
        *reason = kNotRegularFile;
    }
    DWORD got = 0;
    while (ok && (ok = ReadFile(file, &chunk[0], kReadChunk, &got, nullptr) != 0) && got > 0) {
        if (Take(content, chunk.data(), got, headerOnly)) {
            break;
        }
    }
    if (!ok && reason->empty()) {
        *reason = LastError();
    }
    CloseHandle(file);
    return ok;
#else
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = LastError();
        return false;
    }
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
        *reason = kNotRegularFile;
    }
    while (ok) {
        const ssize_t got = read(fd, &chunk[0], chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            *reason = LastError();
            ok = false;
        }
        if (got <= 0 || Take(content, chunk.data(), static_cast<std::size_t>(got), headerOnly)) {
            break;
        }
    }
    close(fd);
    return ok;
#endif
}

} // namespace

bool ReadWholeFile(const std::string& path, std::string* content, std::string* reason) {
    return ReadCopy(path, content, reason, false);
}

bool ReadHeaderSection(const std::string& path, std::string* head, std::string* reason) {
    return ReadCopy(path, head, reason, true);
}

std::FILE* OpenHeldFile(const std::string& path) {
#ifdef _WIN32
    return _wfopen(WideFromAnsi(path).c_str(), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
    return GetFileAttributesW(WideFromAnsi(path).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
#endif
}

void RemoveFile(const std::string& path) {
#ifdef _WIN32
    DeleteFileW(WideFromAnsi(path).c_str());
#else
    unlink(path.c_str());
#endif
}
