// The runner's view of Windows; see runner_platform.h. Paths are in the
// system's ANSI code page, as the server's own are.
#include "tools/runner_platform.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

namespace {

constexpr char kSeparator = '\\';
constexpr char kOtherSeparator = '/';       // Windows takes both
constexpr std::size_t kDriveSpecLength = 2; // "C:"

bool IsSeparator(char c) {
    return c == kSeparator || c == kOtherSeparator;
}

// The system's text for an error code, without its trailing line end.
std::string ErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length > 0 ? std::string(text, length) : std::string();
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    return result.empty() ? "Windows error " + std::to_string(code) : result;
}

bool IsMissingError(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_INVALID_NAME || code == ERROR_BAD_NETPATH;
}

PathKind KindOfAttributes(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder : PathKind::kFile;
}

// An entry inside a folder. Junctions and links to folders are not
// followed (they may lead back up the tree).
FolderEntry EntryOf(const WIN32_FIND_DATAA& found) {
    // Explorer hides these too: desktop.ini, Thumbs.db and the like.
    const DWORD hiddenAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    FolderEntry entry{found.cFileName, KindOfAttributes(found.dwFileAttributes), std::string(),
                      (found.dwFileAttributes & hiddenAttributes) != 0};
    if (entry.kind == PathKind::kFolder &&
        (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        entry.kind = PathKind::kLinkedFolder;
    }
    return entry;
}

bool WriteAll(HANDLE file, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(content.size() - done);
        if (!WriteFile(file, content.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

} // namespace

PathKind InspectPath(const std::string& path, std::string* reason) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        *reason = ErrorText(error);
        return IsMissingError(error) ? PathKind::kMissing : PathKind::kUnknown;
    }
    return KindOfAttributes(attributes);
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>* entries, std::string* reason) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(JoinPath(path, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        *reason = ErrorText(GetLastError());
        return false;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            entries->push_back(EntryOf(found));
        }
    } while (FindNextFileA(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        *reason = ErrorText(error);
        return false;
    }
    return true;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (IsSeparator(folder.back()) || folder.back() == ':')) {
        return folder + name;
    }
    return folder + kSeparator + name;
}

std::string BaseName(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && IsSeparator(trimmed.back())) {
        trimmed.pop_back();
    }
    const std::size_t cut = trimmed.find_last_of("\\/");
    if (cut != std::string::npos) {
        return trimmed.substr(cut + 1);
    }
    // "C:name" is name on drive C.
    const bool driveRelative = trimmed.size() > kDriveSpecLength && trimmed[1] == ':';
    return driveRelative ? trimmed.substr(kDriveSpecLength) : trimmed;
}

CreateOutcome CreateNewFile(const std::string& path, const std::string& content,
                            std::string* reason) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *reason = ErrorText(error);
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::kExists
                                                                           : CreateOutcome::kFailed;
    }
    const bool written = WriteAll(file, content);
    if (!written) {
        *reason = ErrorText(GetLastError());
    }
    const bool closed = CloseHandle(file) != 0;
    if (written && !closed) {
        *reason = ErrorText(GetLastError());
    }
    if (!written || !closed) {
        DeleteFileA(path.c_str());
        return CreateOutcome::kFailed;
    }
    return CreateOutcome::kCreated;
}

CreateOutcome CreateFolder(const std::string& path, std::string* reason) {
    if (CreateDirectoryA(path.c_str(), nullptr)) {
        return CreateOutcome::kCreated;
    }
    const DWORD error = GetLastError();
    *reason = ErrorText(error);
    return error == ERROR_ALREADY_EXISTS ? CreateOutcome::kExists : CreateOutcome::kFailed;
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

bool StandardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}
