// The runner's view of Windows; see system.h. Names are UTF-8 in
// the runner and UTF-16 for the system, always through the wide calls, so
// that a file named in any script can be reached whatever the system's
// code page; full paths get the "\\?\" prefix, which lifts the limit of
// 260 characters.
#include "platform/system.h"

#include "platform/ascii_text.h"
#include "platform/command_line.h"
#include "platform/system_library.h"
#include "platform/whole_writes.h"
#include "platform/windows_paths.h"
#include "platform/windows_text.h"

#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// After windows.h, which it needs.
#include <wincrypt.h>

namespace {

constexpr char kSeparator = '\\';
constexpr char kOtherSeparator = '/';       // Windows takes both
constexpr std::size_t kDriveSpecLength = 2; // "C:"
constexpr const wchar_t* kLongPathPrefix = L"\\\\?\\";
constexpr DWORD kHashChunk = 64 * 1024;
constexpr DWORD kConsoleChunk = 8 * 1024; // characters per console write
constexpr std::size_t kSha256Bytes = 32;
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xF;
// Not KnownDLLs, and imported by name by DLLs of the system's that the
// runner's calls load (CryptoAPI's providers, and --version itself).
constexpr const wchar_t* kPinnedSystemLibraries[] = {L"version.dll"};

bool IsSeparator(char c) {
    return c == kSeparator || c == kOtherSeparator;
}

std::string LastErrorText() {
    return WindowsErrorText(GetLastError());
}

bool IsMissingError(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_INVALID_NAME || code == ERROR_BAD_NETPATH;
}

PathKind KindOfAttributes(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder : PathKind::kFile;
}

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t FromHandle(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

// A console shows characters, not bytes: UTF-8 written to it as bytes
// would come out in the console's code page, names in other scripts as
// garbage.
bool WriteConsoleText(HANDLE console, const std::string& text) {
    const std::wstring wide = WideFromUtf8(text);
    std::size_t done = 0;
    while (done < wide.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, kConsoleChunk));
        DWORD wrote = 0;
        if (!WriteConsoleW(console, wide.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

OutputFile StandardHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    const bool console = GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode);
    return OutputFile{FromHandle(handle), console, false};
}

std::string Hex(const BYTE* bytes, std::size_t size) {
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex += kLowerHexDigits[bytes[i] >> kNibbleBits];
        hex += kLowerHexDigits[bytes[i] & kNibbleMask];
    }
    return hex;
}

// Hashes the open file with CryptoAPI's SHA-256 (the AES provider has it
// from Windows XP SP3 on).
bool HashFile(HANDLE file, std::string* hex, std::string* reason) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        *reason = "no SHA-256 on this system: " + LastErrorText();
        return false;
    }
    HCRYPTHASH hash = 0;
    bool ok = CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) != 0;
    std::string chunk(kHashChunk, '\0');
    DWORD got = 0;
    while (ok && (ok = ReadFile(file, &chunk[0], kHashChunk, &got, nullptr) != 0) && got > 0) {
        ok = CryptHashData(hash, reinterpret_cast<const BYTE*>(chunk.data()), got, 0) != 0;
    }
    BYTE digest[kSha256Bytes];
    DWORD digestSize = sizeof(digest);
    ok = ok && CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0) != 0;
    if (ok) {
        *hex = Hex(digest, digestSize);
    } else {
        *reason = LastErrorText();
    }
    if (hash != 0) {
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return ok;
}

} // namespace

void PinSystemLibraries() {
    // Kept loaded for the whole run: a later import by name binds to it.
    for (const wchar_t* name : kPinnedSystemLibraries) {
        LoadSystemLibrary(name);
    }
}

void IgnoreBrokenPipes() {
    // A write to a closed pipe fails as a write here already.
}

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    // The C runtime's argv is in the ANSI code page, which cannot hold every
    // name: the wide command line can.
    std::vector<std::string> args = SplitCommandLine(Utf8FromWide(GetCommandLineW()));
    args.erase(args.begin()); // the program's name
    return args;
}

PathKind InspectPath(const std::string& path, std::string* reason) {
    const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        *reason = WindowsErrorText(error);
        return IsMissingError(error) ? PathKind::kMissing : PathKind::kUnknown;
    }
    return KindOfAttributes(attributes);
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

std::string PathKey(const std::string& path) {
    std::wstring full = FullPath(path);
    if (full.empty()) {
        full = WideFromUtf8(path);
    }
    // The long form of 8.3 names ("MAILDI~1"), where the place exists.
    const std::wstring prefixed = SystemPath(path);
    const DWORD needed = GetLongPathNameW(prefixed.c_str(), nullptr, 0);
    if (needed > 0) {
        std::wstring longForm(needed, L'\0');
        const DWORD length = GetLongPathNameW(prefixed.c_str(), &longForm[0], needed);
        if (length > 0 && length < needed) {
            longForm.resize(length);
            full = longForm.compare(0, 4, kLongPathPrefix) == 0 ? longForm.substr(4) : longForm;
        }
    }
    while (full.size() > kDriveSpecLength + 1 && (full.back() == L'\\' || full.back() == L'/')) {
        full.pop_back();
    }
    // File names are compared without regard to case, as NTFS does.
    if (!full.empty()) {
        std::wstring upper(full.size(), L'\0');
        const int length =
            LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, full.data(),
                         static_cast<int>(full.size()), &upper[0], static_cast<int>(upper.size()));
        if (length > 0) {
            upper.resize(static_cast<std::size_t>(length));
            full = upper;
        }
    }
    return Utf8FromWide(full);
}

char PathSeparator() {
    return kSeparator;
}

// Windows programs take "/?" for their help.
const char* SystemHelpOption() {
    return "/?";
}

bool OpenInputFile(const std::string& path, InputFile* file, std::string* reason) {
    if (path == kStandardInputPath) {
        // Bytes as they are: no CR LF turned into LF, no Ctrl-Z as the end.
        _setmode(_fileno(stdin), _O_BINARY);
        file->handle = FromHandle(GetStdHandle(STD_INPUT_HANDLE));
        file->standardInput = true;
        return true;
    }
    // Opened as itself first: a reparse point (a link, a junction) is
    // seen for what it is. The admin named this path, so one is then
    // followed on purpose; inside walked folders none is (held_folder.h).
    const std::wstring systemPath = SystemPath(path);
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = CreateFileW(systemPath.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION named;
    if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &named) &&
        (named.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(handle);
        handle = CreateFileW(systemPath.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        *reason = LastErrorText();
        return false;
    }
    // Only a file on disk is read: a pipe or a device would wait for ever.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *reason = kNotRegularFile;
        CloseHandle(handle);
        return false;
    }
    file->handle = FromHandle(handle);
    file->standardInput = false;
    return true;
}

bool ReadInputFile(InputFile* file, char* buffer, std::size_t size, std::size_t* got,
                   std::string* reason) {
    DWORD count = 0;
    if (!ReadFile(AsHandle(file->handle), buffer, static_cast<DWORD>(size), &count, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
            *got = 0; // the writer of a pipe has finished
            return true;
        }
        *reason = WindowsErrorText(error);
        return false;
    }
    *got = count;
    return true;
}

void CloseInputFile(InputFile* file) {
    if (file->handle != -1 && !file->standardInput) {
        CloseHandle(AsHandle(file->handle));
    }
    file->handle = -1;
}

std::uint64_t InputFileSize(const InputFile& file) {
    LARGE_INTEGER size;
    if (GetFileType(AsHandle(file.handle)) != FILE_TYPE_DISK ||
        !GetFileSizeEx(AsHandle(file.handle), &size)) {
        return 0;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

OutputFile StandardOutput() {
    return StandardHandle(STD_OUTPUT_HANDLE);
}

OutputFile StandardError() {
    return StandardHandle(STD_ERROR_HANDLE);
}

bool WriteOutputFile(const OutputFile& file, const std::string& text, std::string* reason) {
    HANDLE handle = AsHandle(file.handle);
    const bool written = file.console ? WriteConsoleText(handle, text)
                                      : WriteWhole(FromHandle(handle), text.data(), text.size());
    if (!written) {
        *reason = LastErrorText();
    }
    return written;
}

bool CloseOutputFile(OutputFile* file, std::string* reason) {
    if (!file->owned || file->handle == -1) {
        return true;
    }
    const bool closed = CloseHandle(AsHandle(file->handle)) != 0;
    if (!closed) {
        *reason = LastErrorText();
    }
    file->handle = -1;
    return closed;
}

bool TextFilesUseCrlf() {
    return true;
}

bool FileSha256(const std::string& path, std::string* hex, std::string* reason) {
    HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *reason = LastErrorText();
        return false;
    }
    const bool hashed = HashFile(file, hex, reason);
    CloseHandle(file);
    return hashed;
}

// The version resource is read as data by version.dll, which is loaded
// only here and only from the system folder (see system_library.h).
std::string ModuleFileVersion(const std::string& path) {
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    HMODULE library = LoadSystemLibrary(L"version.dll");
    if (library == nullptr) {
        return std::string();
    }
    const auto sizeOf = reinterpret_cast<SizeFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetFileVersionInfoSizeW")));
    const auto infoOf = reinterpret_cast<InfoFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetFileVersionInfoW")));
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "VerQueryValueW")));
    std::string version;
    const std::wstring wide = SystemPath(path);
    DWORD ignored = 0;
    const DWORD size = sizeOf != nullptr && infoOf != nullptr && query != nullptr
                           ? sizeOf(wide.c_str(), &ignored)
                           : 0;
    std::string data(size, '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size != 0 && infoOf(wide.c_str(), 0, size, &data[0]) &&
        query(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) && info != nullptr) {
        version = std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(info->dwFileVersionLS));
    }
    FreeLibrary(library);
    return version;
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

bool StandardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}
