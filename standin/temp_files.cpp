// Temporary message copies of the stand-in server; see temp_files.h.
#include "standin/temp_files.h"

#include "standin/private_temp_folder.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include "standin/windows_text.h"

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

bool WriteAll(HANDLE file, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD wrote = 0;
        if (!WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &wrote,
                       nullptr) ||
            wrote == 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

#else

std::string LastError() {
    return std::strerror(errno);
}

// Copies are for this user alone, whatever the umask.
constexpr mode_t kCopyMode = 0600;

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
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

bool CreateTempCopy(const std::string& path, const std::vector<std::string>& lines,
                    std::string* reason) {
    std::string content;
    for (const std::string& line : lines) {
        content += line;
    }
#ifdef _WIN32
    const std::wstring wide = WideFromAnsi(path);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *reason = LastError();
        return false;
    }
    const bool written = WriteAll(file, content);
    if (!written) {
        *reason = LastError();
    }
    const bool closed = CloseHandle(file) != 0;
    if (written && !closed) {
        *reason = LastError();
    }
    if (!written || !closed) {
        DeleteFileW(wide.c_str());
    }
    return written && closed;
#else
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCopyMode);
    if (fd < 0) {
        *reason = LastError();
        return false;
    }
    const bool written = fchmod(fd, kCopyMode) == 0 && WriteAll(fd, content);
    if (!written) {
        *reason = LastError();
    }
    const bool closed = close(fd) == 0;
    if (written && !closed) {
        *reason = LastError();
    }
    if (!written || !closed) {
        unlink(path.c_str());
    }
    return written && closed;
#endif
}

bool ReadWholeFile(const std::string& path, std::string* content, std::string* reason) {
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
        *reason = "not a regular file";
    }
    DWORD got = 0;
    while (ok && (ok = ReadFile(file, &chunk[0], kReadChunk, &got, nullptr) != 0) && got > 0) {
        content->append(chunk, 0, got);
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
        *reason = "not a regular file";
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
        if (got <= 0) {
            break;
        }
        content->append(chunk, 0, static_cast<std::size_t>(got));
    }
    close(fd);
    return ok;
#endif
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
