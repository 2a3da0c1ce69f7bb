// The trusted walk on Windows; see trusted_path.h. The system resolves
// "." and ".." by name, before any folder is looked at, so the full path
// is the path as it will be. Each folder on the way is looked at as itself:
// a junction or a link on the way is refused (who could retarget it cannot
// be told from its owner alone), and so is anything but a folder; its owner
// and DACL must pass the rule of folder_trust_windows.h. What is
// made gets the owner-only DACL of owner_only_security_windows.h, and every
// open is of the name itself (FILE_FLAG_OPEN_REPARSE_POINT).
#include "platform/trusted_path.h"

#include "platform/folder_trust_windows.h"
#include "platform/owner_only_security_windows.h"
#include "platform/whole_writes.h"
#include "platform/windows_paths.h"
#include "platform/windows_text.h"

#include <windows.h>

namespace {

constexpr wchar_t kSeparator = L'\\';
constexpr wchar_t kOtherSeparator = L'/';
constexpr std::size_t kDriveRootLength = 3; // "C:\"
constexpr std::size_t kUncStartLength = 2;  // "\\server"
constexpr DWORD kOneName = 1;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A folder held is not shared for deletion: while it is held, neither it
// nor a folder above it can be renamed away.
constexpr DWORD kShareHeld = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAsItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

// The system's words for `code`.
std::string ErrorText(DWORD code) {
    return WindowsErrorText(code);
}

// True when `code` says nothing is there.
bool IsMissing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// A wide path as the runner names it.
std::string Utf8(const std::wstring& path) {
    return Utf8FromWide(path);
}

// `name` in `folder`, with one separator between.
std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return !folder.empty() && folder.back() == kSeparator ? folder + name
                                                          : folder + kSeparator + name;
}

// Where the root of the full path `full` ends: "C:\" or "\\server\share\".
std::size_t RootLength(const std::wstring& full) {
    if (full.compare(0, kUncStartLength, L"\\\\") != 0) {
        return full.size() >= kDriveRootLength ? kDriveRootLength : full.size();
    }
    std::size_t end = full.find(kSeparator, kUncStartLength); // after the server
    end = end == std::wstring::npos ? full.size() : full.find(kSeparator, end + 1);
    return end == std::wstring::npos ? full.size() : end + 1;
}

// Opens the folder `full` as itself, to hold it and read who owns it and
// who may change it.
HANDLE OpenFolder(const std::wstring& full) {
    return CreateFileW(SystemPathOfFull(full).c_str(), FILE_LIST_DIRECTORY | READ_CONTROL,
                       kShareHeld, nullptr, OPEN_EXISTING, kAsItself, nullptr);
}

// Why the folder `full` held as `folder` may not be on the way, or empty.
std::string HeldFolderProblem(HANDLE folder, const std::wstring& full) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder, &info)) {
        return "cannot look at " + Utf8(full) + ": " + ErrorText(GetLastError());
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return Utf8(full) + " is a junction or a link; name the folder itself";
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Utf8(full) + " is not a folder";
    }
    const std::string problem = HeldObjectProblem(folder, &FolderSecurityProblem);
    return problem.empty() ? problem : Utf8(full) + " " + problem;
}

} // namespace

std::string WalkedPath(const TrustedWalk& walk) {
    std::wstring path = WideFromUtf8(walk.reached);
    for (const std::string& name : walk.missing) {
        path = Join(path, WideFromUtf8(name));
    }
    return Utf8(path);
}

bool WalkTrustedPath(const std::string& path, TrustedWalk* walk, std::string* reason) {
    CloseTrustedWalk(walk);
    std::wstring full = FullPath(path);
    if (full.empty()) {
        *reason = "cannot make a full path of it: " + ErrorText(GetLastError());
        return false;
    }
    for (wchar_t& c : full) {
        c = c == kOtherSeparator ? kSeparator : c;
    }
    const std::size_t root = RootLength(full);
    std::wstring reached = full.substr(0, root);
    HANDLE held = OpenFolder(reached);
    if (held == INVALID_HANDLE_VALUE) {
        *reason = "cannot open " + Utf8(reached) + ": " + ErrorText(GetLastError());
        return false;
    }
    const std::string rootProblem = HeldFolderProblem(held, reached);
    if (!rootProblem.empty()) {
        CloseHandle(held);
        *reason = rootProblem;
        return false;
    }
    std::size_t start = root;
    while (start < full.size()) {
        std::size_t end = full.find(kSeparator, start);
        end = end == std::wstring::npos ? full.size() : end;
        const std::wstring name = full.substr(start, end - start);
        start = end + 1;
        if (name.empty()) {
            continue;
        }
        if (!walk->missing.empty()) {
            walk->missing.push_back(Utf8(name));
            continue;
        }
        const std::wstring next = Join(reached, name);
        HANDLE folder = OpenFolder(next);
        if (folder == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (!IsMissing(error)) {
                CloseHandle(held);
                *reason = "cannot open " + Utf8(next) + ": " + ErrorText(error);
                return false;
            }
            walk->missing.push_back(Utf8(name));
            continue;
        }
        const std::string problem = HeldFolderProblem(folder, next);
        CloseHandle(held);
        held = folder;
        if (!problem.empty()) {
            CloseHandle(held);
            walk->missing.clear();
            *reason = problem;
            return false;
        }
        reached = next;
    }
    walk->handle = reinterpret_cast<std::intptr_t>(held);
    walk->reached = Utf8(reached);
    return true;
}

bool MakeWalkedFolders(TrustedWalk* walk, std::string* reason) {
    const SECURITY_ATTRIBUTES* security = OwnerOnlyAttributes(reason);
    if (security == nullptr) {
        return false;
    }
    while (!walk->missing.empty()) {
        const std::wstring next =
            Join(WideFromUtf8(walk->reached), WideFromUtf8(walk->missing.front()));
        // The folder above is held without sharing its deletion: it cannot
        // be renamed or swapped for a junction meanwhile.
        if (!CreateDirectoryW(SystemPathOfFull(next).c_str(),
                              const_cast<SECURITY_ATTRIBUTES*>(security)) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            *reason = "cannot make " + Utf8(next) + ": " + ErrorText(GetLastError());
            return false;
        }
        HANDLE folder = OpenFolder(next);
        if (folder == INVALID_HANDLE_VALUE) {
            *reason = "cannot open " + Utf8(next) + ": " + ErrorText(GetLastError());
            return false;
        }
        const std::string problem = HeldFolderProblem(folder, next);
        if (!problem.empty()) {
            CloseHandle(folder);
            *reason = problem;
            return false;
        }
        CloseHandle(reinterpret_cast<HANDLE>(walk->handle));
        walk->handle = reinterpret_cast<std::intptr_t>(folder);
        walk->reached = Utf8(next);
        walk->missing.erase(walk->missing.begin());
    }
    return true;
}

void CloseTrustedWalk(TrustedWalk* walk) {
    if (walk->handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(walk->handle));
    }
    walk->handle = -1;
    walk->reached.clear();
    walk->missing.clear();
}

namespace {

// `path` split into its folder and its last name; false when it names no
// file ("dir\", "..", "").
bool SplitFilePath(const std::string& path, std::string* folder, std::string* name) {
    const std::size_t cut = path.find_last_of("\\/:");
    *name = cut == std::string::npos ? path : path.substr(cut + 1);
    *folder = cut == std::string::npos ? "." : path.substr(0, cut + 1);
    return !name->empty() && *name != "." && *name != "..";
}

// Walks to the existing folder of the file `path`, holding it.
bool WalkToFileFolder(const std::string& path, TrustedWalk* walk, std::wstring* file,
                      std::string* reason) {
    std::string folder;
    std::string name;
    if (!SplitFilePath(path, &folder, &name)) {
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
    *file = Join(WideFromUtf8(walk->reached), WideFromUtf8(name));
    return true;
}

// Why the open report file may not be replaced, or empty.
std::string ReportFileProblem(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) {
        return ErrorText(GetLastError());
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return "a link is there; name the file itself";
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "it is a folder; --report names a file";
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return "it is not a regular file";
    }
    if (info.nNumberOfLinks != kOneName) {
        return "the file there has other names (hard links); remove it or name another";
    }
    return HeldObjectProblem(file, &ReportOwnerProblem);
}

// Opens what is at `file` as itself, for looking (and, with `access`,
// for writing).
HANDLE OpenAsItself(const std::wstring& file, DWORD access) {
    return CreateFileW(SystemPathOfFull(file).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                       kAsItself, nullptr);
}

} // namespace

bool CheckReportPlace(const std::string& path, std::string* resolved, std::string* reason) {
    TrustedWalk walk;
    std::wstring file;
    if (!WalkToFileFolder(path, &walk, &file, reason)) {
        return false;
    }
    CloseTrustedWalk(&walk);
    *resolved = Utf8(file);
    HANDLE there = OpenAsItself(file, FILE_READ_ATTRIBUTES | READ_CONTROL);
    if (there == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *reason = IsMissing(error) ? std::string() : ErrorText(error);
        return reason->empty();
    }
    *reason = ReportFileProblem(there);
    CloseHandle(there);
    return reason->empty();
}

bool CreateReportFile(const std::string& path, OutputFile* file, std::string* reason) {
    const SECURITY_ATTRIBUTES* security = OwnerOnlyAttributes(reason);
    TrustedWalk walk;
    std::wstring name;
    if (security == nullptr || !WalkToFileFolder(path, &walk, &name, reason)) {
        return false;
    }
    const std::wstring systemPath = SystemPathOfFull(name);
    HANDLE handle = CreateFileW(systemPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                const_cast<SECURITY_ATTRIBUTES*>(security), CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        // Replaced only when it is a plain file with no other name; then
        // it becomes this user's alone.
        handle =
            OpenAsItself(name, GENERIC_WRITE | WRITE_DAC | FILE_READ_ATTRIBUTES | READ_CONTROL);
        std::string problem =
            handle == INVALID_HANDLE_VALUE ? ErrorText(GetLastError()) : ReportFileProblem(handle);
        if (problem.empty() && !ApplyOwnerOnlySecurity(handle, &problem)) {
            problem = "cannot make it private: " + problem;
        }
        if (problem.empty() && !SetEndOfFile(handle)) {
            problem = ErrorText(GetLastError());
        }
        if (!problem.empty()) {
            if (handle != INVALID_HANDLE_VALUE) {
                CloseHandle(handle);
            }
            handle = INVALID_HANDLE_VALUE;
            SetLastError(ERROR_SUCCESS);
            *reason = problem;
        }
    } else if (handle == INVALID_HANDLE_VALUE) {
        *reason = ErrorText(GetLastError());
    }
    CloseTrustedWalk(&walk);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    *file = OutputFile{reinterpret_cast<std::intptr_t>(handle), false, true};
    return true;
}

CreateOutcome CreateFileInFolder(const TrustedWalk& folder, const std::string& name,
                                 const std::string& content, std::string* reason) {
    const SECURITY_ATTRIBUTES* security = OwnerOnlyAttributes(reason);
    if (security == nullptr) {
        return CreateOutcome::kFailed;
    }
    const std::wstring systemPath =
        SystemPathOfFull(Join(WideFromUtf8(folder.reached), WideFromUtf8(name)));
    HANDLE file = CreateFileW(systemPath.c_str(), GENERIC_WRITE, 0,
                              const_cast<SECURITY_ATTRIBUTES*>(security), CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *reason = ErrorText(error);
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::kExists
                                                                           : CreateOutcome::kFailed;
    }
    const bool written =
        WriteWhole(reinterpret_cast<std::intptr_t>(file), content.data(), content.size());
    if (!written) {
        *reason = ErrorText(GetLastError());
    }
    const bool closed = CloseHandle(file) != 0;
    if (written && !closed) {
        *reason = ErrorText(GetLastError());
    }
    if (!written || !closed) {
        DeleteFileW(systemPath.c_str());
        return CreateOutcome::kFailed;
    }
    return CreateOutcome::kCreated;
}

CreateOutcome CreateNewFile(const std::string& path, const std::string& content,
                            std::string* reason) {
    TrustedWalk walk;
    std::wstring file;
    if (!WalkToFileFolder(path, &walk, &file, reason)) {
        return CreateOutcome::kFailed;
    }
    std::string name;
    std::string folder;
    SplitFilePath(path, &folder, &name);
    const CreateOutcome outcome = CreateFileInFolder(walk, name, content, reason);
    CloseTrustedWalk(&walk);
    return outcome;
}
