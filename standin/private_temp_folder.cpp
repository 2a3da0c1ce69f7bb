// The stand-in server's private temporary folder; see private_temp_folder.h.
#include "standin/private_temp_folder.h"

#include "standin/host_contract.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include "platform/windows_text.h"

#include <windows.h>

// After windows.h, which it needs.
#include <wincrypt.h>
#else
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using host_contract::kTempPathBytes;

// The folder's name: a fixed start that says whose it is, then letters
// no one can guess.
constexpr const char* kFolderPrefix = "velmora-";

#ifdef _WIN32
constexpr std::size_t kRandomBytes = 6; // 12 hex digits
constexpr unsigned kCreateAttempts = 16;
constexpr const char* kHexDigits = "0123456789abcdef";
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xF;
constexpr wchar_t kWideSeparator = L'\\';
#else
constexpr const char* kRandomTemplate = "XXXXXX"; // mkdtemp's letters
constexpr const char* kDefaultTempFolder = "/tmp";
constexpr char kSeparator = '/';
#endif

// The folder once made (with its trailing separator), for the cleanup.
// A fixed buffer, so that a signal handler can read it without the heap.
char g_folder[4 * kTempPathBytes] = {};
volatile std::sig_atomic_t g_lastSerial = -1;

bool Fits(const std::string& folder, std::size_t longestName) {
    return folder.size() + longestName < kTempPathBytes && folder.size() < sizeof(g_folder);
}

#ifdef _WIN32

// The system's temporary folder, with its trailing separator.
std::wstring SystemTempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
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
    name->clear();
    for (BYTE byte : bytes) {
        *name += kHexDigits[byte >> kNibbleBits];
        *name += kHexDigits[byte & kNibbleMask];
    }
    return ok;
}

// Makes a folder with a random name in `parent` (an 8-bit path). The
// system's default access for the parent's owner applies: in the user's
// own temporary folder that is the user alone.
bool MakeRandomFolder(const std::string& parent, std::string* made, std::string* reason) {
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string name;
        if (!RandomName(&name)) {
            *reason = "no random numbers from the system: " + WindowsErrorText(GetLastError());
            return false;
        }
        const std::string folder = parent + kFolderPrefix + name;
        if (CreateDirectoryW(WideFromAnsi(folder).c_str(), nullptr)) {
            *made = folder + '\\';
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            *reason = "cannot make a folder in " + Utf8FromWide(WideFromAnsi(parent)) + ": " +
                      WindowsErrorText(error);
            return false;
        }
    }
    *reason = "cannot make a folder of its own in " + Utf8FromWide(WideFromAnsi(parent));
    return false;
}

std::string MakeFolder(std::size_t longestName, std::string* reason) {
    const std::wstring temp = SystemTempFolder();
    if (temp.empty()) {
        *reason = "the system names no temporary folder";
        return std::string();
    }
    // The module keeps the path in 8 bits: only a folder the system's code
    // page can name, and short enough for the server's buffer, will do.
    const std::size_t room = std::strlen(kFolderPrefix) + 2 * kRandomBytes + 1 + longestName;
    for (const std::wstring& candidate : {temp, ShortForm(temp)}) {
        std::string ansi;
        if (candidate.empty() || !AnsiFromWide(candidate, &ansi) ||
            ansi.size() + room >= kTempPathBytes) {
            continue;
        }
        if (ansi.back() != '\\') {
            ansi += '\\';
        }
        std::string made;
        return MakeRandomFolder(ansi, &made, reason) ? made : std::string();
    }
    *reason = "the temporary folder " + Utf8FromWide(temp) +
              " is too long for the server's 128-byte path, or cannot be named in the "
              "system's code page, and has no short form that can: set TMP to a short folder "
              "such as C:\\Temp";
    return std::string();
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
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
                RemoveTree(path + kWideSeparator);
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void RemoveFolderTree(const char* folder) {
    RemoveTree(WideFromAnsi(folder));
}

// Runs on a thread of its own when Ctrl-C or Ctrl-Break is pressed or the
// console closes; the files may still be open on the main thread, so this
// removes what it can. FALSE lets the default handler end the process.
BOOL WINAPI OnConsoleInterrupt(DWORD /*event*/) {
    RemovePrivateTempFolder();
    return FALSE;
}

#else

// The folder for temporary files: $TMPDIR, else /tmp.
std::string SystemTempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir != nullptr && dir[0] != '\0' ? dir : kDefaultTempFolder;
    while (path.size() > 1 && path.back() == kSeparator) {
        path.pop_back();
    }
    return path;
}

std::string MakeFolder(std::size_t longestName, std::string* reason) {
    const std::size_t room = std::strlen(kFolderPrefix) + std::strlen(kRandomTemplate) + 2;
    std::string parent = SystemTempFolder();
    // A temporary folder too deep for the server's path buffer: /tmp is
    // short on every system.
    if (parent.size() + room + longestName >= kTempPathBytes) {
        parent = kDefaultTempFolder;
    }
    std::string pattern = parent + kSeparator + kFolderPrefix + kRandomTemplate;
    // mkdtemp makes the folder with access for this user alone (0700), and
    // fails rather than take one that is there.
    if (mkdtemp(&pattern[0]) == nullptr) {
        *reason = "cannot make a folder of its own in " + parent + ": " + std::strerror(errno);
        return std::string();
    }
    return pattern + kSeparator;
}

// Removes `folder` (with its trailing separator) and what it holds; lstat
// so that a link is removed as itself.
void RemoveTree(const std::string& folder) {
    if (DIR* listing = opendir(folder.c_str())) {
        std::vector<std::string> names;
        while (const struct dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(listing);
        for (const std::string& name : names) {
            const std::string path = folder + name;
            struct stat info;
            if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                RemoveTree(path + kSeparator);
            } else {
                unlink(path.c_str());
            }
        }
    }
    rmdir(folder.c_str());
}

void RemoveFolderTree(const char* folder) {
    RemoveTree(folder);
}

// Writes the decimal digits of `number` at `at`; returns the end. For the
// signal handler, which may not format with the library.
char* PutDecimal(char* at, unsigned long number) {
    constexpr unsigned long kBase = 10;
    constexpr std::size_t kDigitsPerByte = 3; // enough: 255 has three
    char digits[sizeof(number) * kDigitsPerByte];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + number % kBase);
        number /= kBase;
    } while (number != 0);
    while (count > 0) {
        *at++ = digits[--count];
    }
    return at;
}

// Removes the copy in flight and the folder with calls that are safe in a
// signal handler, then lets the signal end the process as it would have.
void OnInterruptSignal(int signal) {
    if (g_folder[0] != '\0' && g_lastSerial >= 0) {
        char path[sizeof(g_folder) + sizeof(long) * 3 + sizeof(".tmp")];
        const std::size_t length = std::strlen(g_folder);
        std::memcpy(path, g_folder, length);
        char* end = PutDecimal(path + length, static_cast<unsigned long>(g_lastSerial));
        std::memcpy(end, ".tmp", sizeof(".tmp"));
        unlink(path);
    }
    if (g_folder[0] != '\0') {
        rmdir(g_folder);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

#endif

} // namespace

std::string PrivateTempFolder(std::size_t longestName, std::string* reason) {
    // Made once; the function-local static is initialised on one thread
    // even when several threads ask at once.
    static std::string made;
    static std::string failure;
    static const bool tried = [&longestName] {
        made = MakeFolder(longestName, &failure);
        if (!made.empty() && made.size() < sizeof(g_folder)) {
            std::memcpy(g_folder, made.c_str(), made.size() + 1);
            std::atexit(&RemovePrivateTempFolder);
        }
        return true;
    }();
    (void)tried;
    if (made.empty()) {
        *reason = failure;
        return std::string();
    }
    if (!Fits(made, longestName)) {
        *reason = "the temporary folder " + made + " is too long for the server's 128-byte path";
        return std::string();
    }
    return made;
}

void RemovePrivateTempFolder() {
    if (g_folder[0] != '\0') {
        RemoveFolderTree(g_folder);
    }
}

void RemovePrivateTempFolderOnInterrupt() {
#ifdef _WIN32
    SetConsoleCtrlHandler(&OnConsoleInterrupt, TRUE);
#else
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, &OnInterruptSignal);
    }
#endif
}

void NoteTempCopySerial(unsigned serial) {
    g_lastSerial = static_cast<std::sig_atomic_t>(serial);
}
