// The private folder on Windows; see private_folder.h. It is made in TMP
// only when the way there passes the trust rule of trusted_path.h, else in
// the system's temporary folder, which must pass it too. The folder carries
// a protected DACL for the run's user alone, so nobody else can rename it,
// plant anything in it or read what it holds; it is
// held open without sharing its deletion while the process runs, and the
// cleanup lists it only after checking that its name still leads to the
// folder held, never into a junction put in its place.
#include "platform/private_folder.h"

#include "platform/ascii_text.h"
#include "platform/owner_only_security_windows.h"
#include "platform/trusted_path.h"
#include "platform/whole_writes.h"
#include "platform/windows_text.h"

#include <cstring>
#include <windows.h>

// After windows.h, which it needs.
#include <wincrypt.h>

namespace {

constexpr const char* kFolderPrefix = "velmora-";
constexpr std::size_t kRandomBytes = 6; // 12 hex digits
constexpr unsigned kCreateAttempts = 16;
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xF;
constexpr char kSeparator = '\\';
constexpr wchar_t kWideSeparator = L'\\';
constexpr const wchar_t* kSystemTempName = L"Temp";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kShareHeld = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAsItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

// The folder made (8-bit, with its trailing separator), its handle and its
// identity, for the cleanup.
std::string g_folder;
HANDLE g_held = INVALID_HANDLE_VALUE;
BY_HANDLE_FILE_INFORMATION g_identity{};
std::string g_copy; // the copy in flight

// The system's words for the last failure.
std::string LastError() {
    return WindowsErrorText(GetLastError());
}

// The user's temporary folder, with its trailing separator.
std::wstring UserTempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// The system's own temporary folder (C:\Windows\Temp\).
std::wstring SystemTempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return std::wstring();
    }
    std::wstring folder(buffer, length);
    if (folder.back() != kWideSeparator) {
        folder += kWideSeparator;
    }
    return folder + kSystemTempName + kWideSeparator;
}

// The 8.3 form of `path` ("C:\DOCUME~1\..."): short and, as the system
// makes those names, in plain letters. Empty when the system has none.
std::wstring ShortForm(const std::wstring& path) {
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) {
        return std::wstring();
    }
    std::wstring shortPath(needed, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), &shortPath[0], needed);
    shortPath.resize(length < needed ? length : 0);
    return shortPath;
}

// Random hex letters from the system's generator. False if it has none.
bool RandomName(std::string* name) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return false;
    }
    BYTE bytes[kRandomBytes];
    const bool ok = CryptGenRandom(provider, sizeof(bytes), bytes) != 0;
    CryptReleaseContext(provider, 0);
    name->assign(kFolderPrefix);
    for (BYTE byte : bytes) {
        *name += kLowerHexDigits[byte >> kNibbleBits];
        *name += kLowerHexDigits[byte & kNibbleMask];
    }
    return ok;
}

// Opens the folder `path` as itself.
HANDLE OpenFolder(const std::wstring& path, DWORD share) {
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, share, nullptr, OPEN_EXISTING, kAsItself,
                       nullptr);
}

// True when the name g_folder still leads to the folder held, not to a
// junction or another folder put in its place.
bool NameLeadsToHeld() {
    HANDLE there = OpenFolder(WideFromAnsi(g_folder), kShareAll);
    if (there == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool same = GetFileInformationByHandle(there, &info) &&
                      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                      info.dwVolumeSerialNumber == g_identity.dwVolumeSerialNumber &&
                      info.nFileIndexHigh == g_identity.nFileIndexHigh &&
                      info.nFileIndexLow == g_identity.nFileIndexLow;
    CloseHandle(there);
    return same;
}

// Makes a folder with a random name in `parent` (an 8-bit path), for this
// user alone, and holds it.
bool MakeRandomFolder(const std::string& parent, std::string* reason) {
    const SECURITY_ATTRIBUTES* security = OwnerOnlyAttributes(reason);
    if (security == nullptr) {
        return false;
    }
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string name;
        if (!RandomName(&name)) {
            *reason = "no random numbers from the system: " + LastError();
            return false;
        }
        const std::wstring folder = WideFromAnsi(parent + name);
        if (!CreateDirectoryW(folder.c_str(), const_cast<SECURITY_ATTRIBUTES*>(security))) {
            const DWORD error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS) {
                continue;
            }
            *reason = "cannot make a folder of its own in " + Utf8FromWide(WideFromAnsi(parent)) +
                      ": " + WindowsErrorText(error);
            return false;
        }
        g_held = OpenFolder(folder, kShareHeld);
        if (g_held == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(g_held, &g_identity) ||
            (g_identity.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            *reason = "cannot hold the folder made in " + Utf8FromWide(WideFromAnsi(parent));
            return false;
        }
        g_folder = parent + name + kSeparator;
        return true;
    }
    *reason = "cannot make a folder of its own in " + Utf8FromWide(WideFromAnsi(parent));
    return false;
}

// Empties the folder at `folder` (wide, with its trailing separator);
// folders in it that are real are emptied and removed, junctions and links
// are removed as themselves.
void EmptyTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const std::wstring path = folder + name;
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            DeleteFileW(path.c_str());
        } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            RemoveDirectoryW(path.c_str()); // the link, not where it leads
        } else {
            EmptyTree(path + kWideSeparator);
            RemoveDirectoryW(path.c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Runs on a thread of its own when Ctrl-C or Ctrl-Break is pressed or the
// console closes; the files may still be open on the main thread, so this
// removes what it can. FALSE lets the default handler end the process.
BOOL WINAPI OnConsoleInterrupt(DWORD /*event*/) {
    RemovePrivateFolder();
    return FALSE;
}

// The full path of the copy `name`.
std::wstring CopyPath(const std::string& name) {
    return WideFromAnsi(g_folder + name);
}

// Sets `reason` from the last failure; false, for returning.
bool Failed(std::string* reason) {
    *reason = LastError();
    return false;
}

// Walks to the existing folder `folder` under the trust rule, holding it.
bool WalkToExistingFolder(const std::wstring& folder, TrustedWalk* walk, std::string* problem) {
    if (!WalkTrustedPath(Utf8FromWide(folder), walk, problem)) {
        return false;
    }
    if (!walk->missing.empty()) {
        *problem = "it does not exist";
        CloseTrustedWalk(walk);
        return false;
    }
    return true;
}

// Makes the private folder in `temp`, in its long or short form,
// whichever the module's 8-bit buffer of `limit` bytes can hold with
// `needed` bytes more.
std::string MakeInTemp(const std::wstring& temp, std::size_t needed, std::size_t limit,
                       std::string* reason) {
    for (const std::wstring& candidate : {temp, ShortForm(temp)}) {
        std::string ansi;
        if (candidate.empty() || !AnsiFromWide(candidate, &ansi) || ansi.size() + needed >= limit) {
            continue;
        }
        if (ansi.back() != kSeparator) {
            ansi += kSeparator;
        }
        return MakeRandomFolder(ansi, reason) ? g_folder : std::string();
    }
    *reason = "the temporary folder " + Utf8FromWide(temp) +
              " is too long for the server's 128-byte path, or cannot be named in the "
              "system's code page, and has no short form that can: set TMP to a short folder "
              "that only you and the system may change";
    return std::string();
}

} // namespace

std::string MakePrivateFolder(std::size_t room, std::size_t limit, std::string* note,
                              std::string* reason) {
    // The module keeps the path in 8 bits: only a folder the system's code
    // page can name, and short enough for the server's buffer, will do.
    const std::size_t needed = std::strlen(kFolderPrefix) + 2 * kRandomBytes + 1 + room;
    std::wstring temp = UserTempFolder();
    TrustedWalk walk;
    std::string problem;
    if (temp.empty() || !WalkToExistingFolder(temp, &walk, &problem)) {
        const std::wstring system = SystemTempFolder();
        if (!temp.empty()) {
            *note = "the temporary folder " + Utf8FromWide(temp) +
                    " (TMP) is not used: " + problem + "; the copies go to " + Utf8FromWide(system);
        }
        temp = system;
        if (temp.empty()) {
            *reason = "the system names no temporary folder";
            return std::string();
        }
        if (!WalkToExistingFolder(temp, &walk, &problem)) {
            *reason = "no temporary folder to use: " + problem;
            return std::string();
        }
    }
    // Held until the folder is made: nobody can rename it away meanwhile.
    const std::string made = MakeInTemp(temp, needed, limit, reason);
    CloseTrustedWalk(&walk);
    return made;
}

void RemovePrivateFolder() {
    if (g_held == INVALID_HANDLE_VALUE) {
        return;
    }
    if (NameLeadsToHeld()) {
        EmptyTree(WideFromAnsi(g_folder));
    }
    CloseHandle(g_held);
    g_held = INVALID_HANDLE_VALUE;
    // Between the close and the removal nobody else can rename it: its
    // DACL gives nobody else the right.
    if (NameLeadsToHeld()) {
        RemoveDirectoryW(WideFromAnsi(g_folder).c_str());
    }
}

void RemovePrivateFolderOnInterrupt() {
    SetConsoleCtrlHandler(&OnConsoleInterrupt, TRUE);
}

void NotePrivateCopy(const std::string& name) {
    // The console handler lists the folder; nothing to note.
    g_copy = name;
}

bool CreatePrivateCopy(const std::string& name, std::intptr_t* copy, std::string* reason) {
    const SECURITY_ATTRIBUTES* security = OwnerOnlyAttributes(reason);
    if (security == nullptr || g_held == INVALID_HANDLE_VALUE) {
        if (security != nullptr) {
            *reason = "no private folder";
        }
        return false;
    }
    HANDLE file = CreateFileW(CopyPath(name).c_str(), GENERIC_WRITE, 0,
                              const_cast<SECURITY_ATTRIBUTES*>(security), CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Failed(reason);
    }
    *copy = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool OpenPrivateCopy(const std::string& name, std::intptr_t* copy, std::string* reason) {
    // A link planted at the name is opened as itself, and then it is no
    // regular file.
    HANDLE file = CreateFileW(CopyPath(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Failed(reason);
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        *reason = kNotRegularFile;
        return false;
    }
    *copy = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool WritePrivateCopy(std::intptr_t copy, const char* bytes, std::size_t size,
                      std::string* reason) {
    return WriteWhole(copy, bytes, size) || Failed(reason);
}

bool ReadPrivateCopy(std::intptr_t copy, char* buffer, std::size_t size, std::size_t* got,
                     std::string* reason) {
    DWORD count = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(copy), buffer, static_cast<DWORD>(size), &count,
                  nullptr)) {
        return Failed(reason);
    }
    *got = count;
    return true;
}

bool ClosePrivateCopy(std::intptr_t copy, std::string* reason) {
    return CloseHandle(reinterpret_cast<HANDLE>(copy)) != 0 || Failed(reason);
}

bool PrivateCopyStillNamed(std::intptr_t /*copy*/, const std::string& name) {
    return PrivateCopyExists(name);
}

bool PrivateCopyExists(const std::string& name) {
    return g_held != INVALID_HANDLE_VALUE &&
           GetFileAttributesW(CopyPath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemovePrivateCopy(const std::string& name) {
    if (g_held == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::wstring path = CopyPath(name);
    if (!DeleteFileW(path.c_str())) {
        RemoveDirectoryW(path.c_str());
    }
}
