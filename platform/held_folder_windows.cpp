// Walking by handle on Windows; see held_folder.h. Entries are opened
// relative to their folder's handle with the system's own NtCreateFile
// (the documented Win32 calls take whole paths only), always with
// FILE_OPEN_REPARSE_POINT, so that a junction, a symbolic link or any
// other reparse point is opened as itself and refused, never followed.
// Folders are listed by handle with NtQueryDirectoryFile, which gives each
// entry's file index. Both are in ntdll.dll on every Windows from XP on,
// looked up at run time.
#include "platform/held_folder.h"

#include "platform/windows_paths.h"
#include "platform/windows_text.h"

#include <cstdint>
#include <windows.h>
#include <winternl.h>

namespace {

constexpr const char* kIsReparsePoint =
    "it became a link or junction between the listing and the opening; not followed";
constexpr const char* kReplaced = "it was replaced between the listing and the opening";
constexpr const char* kNoWayBack = "a folder let go cannot be found again on Windows";
constexpr const char* kNoNtdll = "the system's ntdll.dll lacks NtCreateFile";
constexpr ULONG kListingBufferSize = 64 * 1024;
constexpr unsigned kHighPartShift = 32;
// NT status codes, as ntstatus.h has them.
constexpr NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000FL);
constexpr NTSTATUS kStatusInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003L);
constexpr NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000DL);
constexpr NTSTATUS kStatusNotSupported = static_cast<NTSTATUS>(0xC00000BBL);
constexpr const wchar_t* kCurrentFolder = L".";
constexpr const wchar_t* kParentFolder = L"..";
constexpr ACCESS_MASK kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kFileAccess = FILE_GENERIC_READ;
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kHiddenAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtQueryDirectoryFileFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID,
                                                PIO_STATUS_BLOCK, PVOID, ULONG,
                                                FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING,
                                                BOOLEAN);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(NTSTATUS);

// The calls of ntdll.dll the walk uses, looked up once.
struct NtCalls {
    NtCreateFileFn createFile = nullptr;
    NtQueryDirectoryFileFn queryDirectory = nullptr;
    RtlNtStatusToDosErrorFn toDosError = nullptr;
};

template <typename Fn> Fn Lookup(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const NtCalls& Nt() {
    static const NtCalls calls = [] {
        NtCalls found;
        // Loaded in every process before its first instruction.
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (ntdll != nullptr) {
            found.createFile = Lookup<NtCreateFileFn>(ntdll, "NtCreateFile");
            found.queryDirectory = Lookup<NtQueryDirectoryFileFn>(ntdll, "NtQueryDirectoryFile");
            found.toDosError = Lookup<RtlNtStatusToDosErrorFn>(ntdll, "RtlNtStatusToDosError");
        }
        return found;
    }();
    return calls;
}

bool HaveNtCalls(std::string* reason) {
    const NtCalls& nt = Nt();
    if (nt.createFile == nullptr || nt.queryDirectory == nullptr || nt.toDosError == nullptr) {
        *reason = kNoNtdll;
        return false;
    }
    return true;
}

std::string StatusText(NTSTATUS status) {
    return WindowsErrorText(Nt().toDosError(status));
}

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::uint64_t Combine(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << kHighPartShift) | low;
}

// Opens `name` inside the folder `parent` as itself (a reparse point is
// not followed), as a folder or as a file. The NT status of the open.
NTSTATUS OpenRelative(HANDLE parent, const std::wstring& name, bool folder, HANDLE* opened) {
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = const_cast<PWSTR>(name.c_str());
    unicodeName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    unicodeName.MaximumLength = unicodeName.Length;
    OBJECT_ATTRIBUTES attributes;
    // Case-insensitive, as Win32 names are.
    InitializeObjectAttributes(&attributes, &unicodeName, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK io;
    const ULONG options = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT |
                          (folder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE);
    return Nt().createFile(opened, folder ? kFolderAccess : kFileAccess, &attributes, &io, nullptr,
                           0, kShareAll, FILE_OPEN, options, nullptr, 0);
}

// The identity and attributes of an open handle. False when the system
// would not say.
bool Describe(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info, FileIdentity* identity) {
    if (!GetFileInformationByHandle(handle, info)) {
        return false;
    }
    *identity = FileIdentity{info->dwVolumeSerialNumber,
                             Combine(info->nFileIndexHigh, info->nFileIndexLow)};
    return true;
}

// Opens the entry `entry` of `parent`, checks that it is what was listed
// and no reparse point. False with `reason` otherwise.
bool OpenChecked(const HeldFolder& parent, const ListedEntry& entry, bool folder, HANDLE* opened,
                 FileIdentity* identity, std::string* reason) {
    if (!HaveNtCalls(reason)) {
        return false;
    }
    const NTSTATUS status =
        OpenRelative(AsHandle(parent.handle), WideFromUtf8(entry.name), folder, opened);
    if (!NT_SUCCESS(status)) {
        *reason = StatusText(status);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const char* refusal = nullptr;
    if (!Describe(*opened, &info, identity)) {
        refusal = kNotRegularFile;
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        refusal = kIsReparsePoint;
    } else if (entry.identity.index != kUnknownIndex && !(*identity == entry.identity)) {
        refusal = kReplaced;
    } else if (!folder && GetFileType(*opened) != FILE_TYPE_DISK) {
        refusal = kNotRegularFile;
    }
    if (refusal != nullptr) {
        *reason = refusal;
        CloseHandle(*opened);
        return false;
    }
    return true;
}

// The file index a listing gives, 0 when it gives none.
std::uint64_t IndexOf(const FILE_ID_BOTH_DIR_INFORMATION& found) {
    return static_cast<std::uint64_t>(found.FileId.QuadPart);
}
std::uint64_t IndexOf(const FILE_DIRECTORY_INFORMATION& /*found*/) {
    return kUnknownIndex;
}

// One entry of a listing, from the fields both kinds of listing have.
ListedEntry EntryOf(const wchar_t* name, ULONG nameBytes, ULONG attributes, std::uint64_t volume,
                    std::uint64_t index) {
    ListedEntry entry;
    entry.name = Utf8FromWide(name, nameBytes / sizeof(wchar_t));
    entry.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder : PathKind::kFile;
    entry.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Explorer hides these too: desktop.ini, Thumbs.db and the like.
    entry.hidden = (attributes & kHiddenAttributes) != 0;
    entry.identity = FileIdentity{volume, index};
    entry.links = kLinksUnknown; // the listing does not say; the open file does
    return entry;
}

// Adds the entries of one answer of NtQueryDirectoryFile, whose records
// are `Info` (with file indexes when `Info` has them).
template <typename Info>
void AddEntries(const char* at, std::uint64_t volume, std::vector<ListedEntry>* entries) {
    for (;;) {
        const auto& found = *reinterpret_cast<const Info*>(at);
        const std::wstring name(found.FileName, found.FileNameLength / sizeof(wchar_t));
        if (name != kCurrentFolder && name != kParentFolder) {
            entries->push_back(EntryOf(found.FileName, found.FileNameLength, found.FileAttributes,
                                       volume, IndexOf(found)));
        }
        if (found.NextEntryOffset == 0) {
            return;
        }
        at += found.NextEntryOffset;
    }
}

} // namespace

bool OpenNamedFolder(const std::string& path, HeldFolder* folder, std::string* reason) {
    // The folder the admin named, through a junction if it is one.
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), kFolderAccess, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *reason = WindowsErrorText(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    FileIdentity identity;
    if (!Describe(handle, &info, &identity)) {
        *reason = WindowsErrorText(GetLastError());
        CloseHandle(handle);
        return false;
    }
    *folder = HeldFolder{reinterpret_cast<std::intptr_t>(handle), identity, 0};
    return true;
}

bool OpenEntryFolder(const HeldFolder& parent, const ListedEntry& entry, HeldFolder* folder,
                     std::string* reason) {
    HANDLE handle = nullptr;
    FileIdentity identity;
    if (!OpenChecked(parent, entry, true, &handle, &identity, reason)) {
        return false;
    }
    *folder = HeldFolder{reinterpret_cast<std::intptr_t>(handle), identity, 0};
    return true;
}

bool ListHeldFolder(const HeldFolder& folder, std::vector<ListedEntry>* entries,
                    std::string* reason) {
    if (!HaveNtCalls(reason)) {
        return false;
    }
    // Kept as ULONGLONGs: the records inside are aligned to 8 bytes.
    std::vector<ULONGLONG> buffer(kListingBufferSize / sizeof(ULONGLONG));
    // File systems that keep no file indexes (some network shares) refuse
    // the listing with them: they are listed without, and what is opened
    // is then checked for being no reparse point only.
    FILE_INFORMATION_CLASS kind = FileIdBothDirectoryInformation;
    bool restart = true;
    for (;;) {
        IO_STATUS_BLOCK io;
        const NTSTATUS status =
            Nt().queryDirectory(AsHandle(folder.handle), nullptr, nullptr, nullptr, &io,
                                buffer.data(), kListingBufferSize, kind, FALSE, nullptr, restart);
        const bool first = restart;
        restart = false;
        if (first && kind == FileIdBothDirectoryInformation &&
            (status == kStatusInvalidInfoClass || status == kStatusInvalidParameter ||
             status == kStatusNotSupported)) {
            kind = FileDirectoryInformation;
            restart = true;
            continue;
        }
        if (status == kStatusNoMoreFiles || (first && status == kStatusNoSuchFile)) {
            return true;
        }
        if (!NT_SUCCESS(status)) {
            *reason = StatusText(status);
            return false;
        }
        const char* records = reinterpret_cast<const char*>(buffer.data());
        if (kind == FileIdBothDirectoryInformation) {
            AddEntries<FILE_ID_BOTH_DIR_INFORMATION>(records, folder.identity.volume, entries);
        } else {
            AddEntries<FILE_DIRECTORY_INFORMATION>(records, folder.identity.volume, entries);
        }
    }
}

bool HoldsFolder(const HeldFolder& folder, const char* name) {
    std::string reason;
    HANDLE handle = nullptr;
    if (!HaveNtCalls(&reason) ||
        !NT_SUCCESS(OpenRelative(AsHandle(folder.handle), WideFromUtf8(name), true, &handle))) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    FileIdentity identity;
    const bool plainFolder = Describe(handle, &info, &identity) &&
                             (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    CloseHandle(handle);
    return plainFolder;
}

bool OpenEntryFile(const HeldFolder& parent, const ListedEntry& entry, InputFile* file,
                   std::string* reason) {
    HANDLE handle = nullptr;
    FileIdentity identity;
    if (!OpenChecked(parent, entry, false, &handle, &identity, reason)) {
        return false;
    }
    file->handle = reinterpret_cast<std::intptr_t>(handle);
    file->standardInput = false;
    return true;
}

bool IdentifyInputFile(const InputFile& file, FileIdentity* identity, std::uint64_t* links) {
    BY_HANDLE_FILE_INFORMATION info;
    if (file.standardInput || GetFileType(AsHandle(file.handle)) != FILE_TYPE_DISK ||
        !Describe(AsHandle(file.handle), &info, identity)) {
        return false;
    }
    *links = info.nNumberOfLinks;
    return true;
}

std::size_t HeldFolderLimit() {
    return SIZE_MAX;
}

bool OpenParentFolder(const HeldFolder& /*folder*/, HeldFolder* /*parent*/, std::string* reason) {
    *reason = kNoWayBack;
    return false;
}

void CloseHeldFolder(HeldFolder* folder) {
    if (folder->handle != -1) {
        CloseHandle(AsHandle(folder->handle));
    }
    folder->handle = -1;
}
