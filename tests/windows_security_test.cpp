// What the runner makes on Windows carries a DACL of its own, protected
// from inheritance, for the run's user alone: the descriptor built, and
// the one read back from a folder and a file made through the platform
// (where the system keeps one: Wine keeps what it is given). And the trust
// rule read from descriptors: who owns a folder on the way and who else
// may change it.
#include "platform/folder_trust_windows.h"
#include "platform/owner_only_security_windows.h"
#include "platform/system.h"
#include "platform/trusted_path.h"
#include "platform/windows_text.h"
#include "tests/support/scratch_files.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <vector>

namespace {

// The token user's SID, in a buffer of its own.
std::vector<unsigned char> ThisUser() {
    HANDLE token = nullptr;
    std::vector<unsigned char> buffer;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return buffer;
    }
    DWORD needed = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
    buffer.resize(needed);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), needed, &needed)) {
        buffer.clear();
    }
    CloseHandle(token);
    return buffer;
}

// True under Wine, which may keep no security descriptor for files (it
// answers with a default one then).
bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// True when `descriptor` is protected (what a system that keeps the
// descriptor given returns).
bool IsProtected(PSECURITY_DESCRIPTOR descriptor) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    return GetSecurityDescriptorControl(descriptor, &control, &revision) &&
           (control & SE_DACL_PROTECTED) != 0;
}

// Checks that `descriptor` is protected and grants the user alone all.
void ExpectOwnerOnly(PSECURITY_DESCRIPTOR descriptor, const char* what) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision)) << what;
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << what << ": inherits its parent's access";
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted)) << what;
    ASSERT_TRUE(present) << what;
    ASSERT_NE(acl, nullptr) << what << ": a null DACL lets everyone in";
    ASSERT_EQ(acl->AceCount, 1) << what;
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, 0, &ace)) << what;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << what;
    const std::vector<unsigned char> user = ThisUser();
    ASSERT_FALSE(user.empty());
    PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    EXPECT_TRUE(EqualSid(&allowed->SidStart, sid)) << what << ": granted to someone else";
}

TEST(OwnerOnlySecurity, TheDescriptorIsProtectedAndForThisUserAlone) {
    OwnerOnlySecurity security;
    std::string reason;
    ASSERT_TRUE(BuildOwnerOnlySecurity(&security, &reason)) << reason;
    EXPECT_TRUE(IsValidSecurityDescriptor(&security.descriptor));
    ExpectOwnerOnly(&security.descriptor, "the descriptor built");
    PACL acl = reinterpret_cast<PACL>(security.acl.data());
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, 0, &ace));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Mask, static_cast<DWORD>(GENERIC_ALL));
    EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
}

// Read back from what the platform makes.
TEST(OwnerOnlySecurity, FoldersAndFilesMadeCarryIt) {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::string folder =
        Utf8FromWide(std::wstring(temp)) + "velmora-dacl-" + std::to_string(GetCurrentProcessId());
    std::string reason;
    ASSERT_EQ(CreateFolder(folder, &reason), CreateOutcome::kCreated) << reason;
    struct Cleanup {
        std::string folder;
        ~Cleanup() {
            DeleteFileW(WideFromUtf8(folder + "\\saved.eml").c_str());
            RemoveDirectoryW(WideFromUtf8(folder).c_str());
        }
    } cleanup{folder};
    const std::string file = folder + "\\saved.eml";
    ASSERT_EQ(CreateNewFile(file, "x", &reason), CreateOutcome::kCreated) << reason;
    for (const std::string& made : {folder, file}) {
        const std::wstring wide = WideFromUtf8(made);
        DWORD needed = 0;
        GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
        std::vector<unsigned char> descriptor(needed);
        ASSERT_TRUE(needed > 0 && GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION,
                                                   descriptor.data(), needed, &needed))
            << made;
        if (UnderWine() && !IsProtected(descriptor.data())) {
            GTEST_SKIP() << "Wine keeps no security descriptor for " << made
                         << " on this file system; the descriptor built is checked above";
        }
        ExpectOwnerOnly(descriptor.data(), made.c_str());
    }
}

// The run's user and another one, in the descriptors built below.
constexpr const wchar_t* kRunUser = L"S-1-5-21-1-2-3-1001";
constexpr const wchar_t* kOtherUser = L"S-1-5-21-1-2-3-1002";

// A descriptor from its SDDL text, with "$U" for the run's user and "$O"
// for the other one, in a buffer of its own.
std::vector<unsigned char> Descriptor(std::wstring sddl) {
    for (const auto& [mark, sid] :
         {std::make_pair(L"$U", kRunUser), std::make_pair(L"$O", kOtherUser)}) {
        for (std::size_t at = sddl.find(mark); at != std::wstring::npos; at = sddl.find(mark)) {
            sddl.replace(at, 2, sid);
        }
    }
    PSECURITY_DESCRIPTOR made = nullptr;
    std::vector<unsigned char> bytes;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &made,
                                                              nullptr)) {
        return bytes;
    }
    const DWORD size = GetSecurityDescriptorLength(made);
    bytes.assign(static_cast<unsigned char*>(made), static_cast<unsigned char*>(made) + size);
    LocalFree(made);
    return bytes;
}

// The trusted SIDs for the run's user of the rows.
TrustedSids RowTrust(bool administrator) {
    PSID user = nullptr;
    TrustedSids trusted;
    if (ConvertStringSidToSidW(kRunUser, &user)) {
        BuildTrustedSids(user, &trusted);
        LocalFree(user);
    }
    trusted.userIsAdministrator = administrator;
    return trusted;
}

struct FolderRow {
    const char* what;
    const wchar_t* sddl;
    const char* refusal; // part of the reason, or null when the folder passes
};

// The SYSTEM and Administrators entries every folder below carries.
#define SYSTEM_ENTRIES L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"

const FolderRow kFolderRows[] = {
    {"owned by the user", L"O:$UD:P(A;OICI;FA;;;$U)" SYSTEM_ENTRIES, nullptr},
    {"owned by Administrators", L"O:BAD:P" SYSTEM_ENTRIES, nullptr},
    {"owned by SYSTEM", L"O:SYD:P" SYSTEM_ENTRIES, nullptr},
    {"owned by TrustedInstaller",
     L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:P" SYSTEM_ENTRIES,
     nullptr},
    {"owned by another user", L"O:$OD:P" SYSTEM_ENTRIES,
     "belongs to another user (S-1-5-21-1-2-3-1002)"},
    {"Users may add files", L"O:BAD:P" SYSTEM_ENTRIES L"(A;;0x1200ab;;;BU)",
     "lets S-1-5-32-545 add, remove or replace"},
    {"Authenticated Users may add folders only (as C:\\ grants)",
     L"O:BAD:P" SYSTEM_ENTRIES L"(A;;0x1200ad;;;AU)", nullptr},
    {"Everyone GENERIC_WRITE", L"O:BAD:P" SYSTEM_ENTRIES L"(A;;GW;;;WD)", "lets S-1-1-0"},
    {"Everyone GENERIC_ALL", L"O:BAD:P" SYSTEM_ENTRIES L"(A;;GA;;;WD)", "lets S-1-1-0"},
    {"Users may delete entries", L"O:BAD:P" SYSTEM_ENTRIES L"(A;;DC;;;BU)", "lets S-1-5-32-545"},
    {"Users may delete it", L"O:BAD:P" SYSTEM_ENTRIES L"(A;;SD;;;BU)", "lets S-1-5-32-545"},
    {"Users may change its DACL", L"O:BAD:P" SYSTEM_ENTRIES L"(A;;WD;;;BU)", "lets S-1-5-32-545"},
    {"Users may take it", L"O:BAD:P" SYSTEM_ENTRIES L"(A;;WO;;;BU)", "lets S-1-5-32-545"},
    {"another user full", L"O:$UD:P(A;;FA;;;$O)", "lets S-1-5-21-1-2-3-1002"},
    {"Users write, for the contents only", L"O:BAD:P" SYSTEM_ENTRIES L"(A;OICIIO;FA;;;BU)",
     nullptr},
    {"CREATOR OWNER full", L"O:BAD:P" SYSTEM_ENTRIES L"(A;OICI;FA;;;CO)", nullptr},
    {"no DACL at all", L"O:BA", "no access list"},
    {"a deny entry is no grant", L"O:$UD:P(D;;FA;;;WD)(A;;FA;;;$U)", nullptr},
    {"C:\\ of Windows 10",
     L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
     L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)"
     L"(A;;LC;;;AU)",
     nullptr},
    {"Wine's for a 0755 folder", L"O:$UD:(A;OICI;FA;;;SY)(A;OICI;FA;;;$U)(A;OICI;0x1200a9;;;WD)",
     nullptr},
    {"Wine's for a 0777 folder", L"O:$UD:(A;OICI;FA;;;SY)(A;OICI;FA;;;$U)(A;OICI;0x1301ff;;;WD)",
     "lets S-1-1-0"},
    {"Wine's for a folder of another Unix user",
     L"O:AND:(A;OICI;FA;;;SY)(A;OICI;FA;;;AN)(A;OICI;0x1200a9;;;WD)",
     "belongs to another user (S-1-5-7)"},
};

TEST(FolderTrust, OwnersAndWhoElseMayChangeTheFolder) {
    const TrustedSids trusted = RowTrust(false);
    ASSERT_FALSE(trusted.user.empty());
    for (const FolderRow& row : kFolderRows) {
        std::vector<unsigned char> descriptor = Descriptor(row.sddl);
        ASSERT_FALSE(descriptor.empty()) << row.what << ": " << GetLastError();
        const std::string problem = FolderSecurityProblem(descriptor.data(), trusted);
        if (row.refusal == nullptr) {
            EXPECT_EQ(problem, "") << row.what;
        } else {
            EXPECT_NE(problem.find(row.refusal), std::string::npos)
                << row.what << ": \"" << problem << "\"";
        }
    }
}

// A null DACL (no SDDL text makes one everywhere) lets everyone in.
TEST(FolderTrust, ANullDaclIsRefused) {
    std::vector<unsigned char> owner = Descriptor(L"O:BA");
    ASSERT_FALSE(owner.empty());
    PSID administrators = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(owner.data(), &administrators, &defaulted));
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&descriptor, administrators, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
    const std::string problem = FolderSecurityProblem(&descriptor, RowTrust(false));
    EXPECT_NE(problem.find("no access list"), std::string::npos) << problem;
}

struct ReportRow {
    const char* what;
    const wchar_t* sddl;
    bool administrator; // the run holds Administrators
    bool replaced;
};

const ReportRow kReportRows[] = {
    {"the user's", L"O:$U", false, true},
    {"another user's", L"O:$O", false, false},
    {"Administrators', run as one", L"O:BA", true, true},
    {"Administrators', run as a user", L"O:BA", false, false},
    {"SYSTEM's", L"O:SY", true, false},
};

TEST(FolderTrust, AReportFileThereMustBeTheUsers) {
    for (const ReportRow& row : kReportRows) {
        std::vector<unsigned char> descriptor = Descriptor(row.sddl);
        ASSERT_FALSE(descriptor.empty()) << row.what;
        const std::string problem =
            ReportOwnerProblem(descriptor.data(), RowTrust(row.administrator));
        EXPECT_EQ(problem.empty(), row.replaced) << row.what << ": \"" << problem << "\"";
    }
}

// The rule on a live folder: one the platform made passes; once Everyone
// may change it, the way through it is refused (where the system keeps
// the DACL set).
TEST(FolderTrust, TheWalkReadsTheFoldersOnTheWay) {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::string folder =
        Utf8FromWide(std::wstring(temp)) + "velmora-trust-" + std::to_string(GetCurrentProcessId());
    std::string reason;
    ASSERT_EQ(CreateFolder(folder, &reason), CreateOutcome::kCreated) << reason;
    struct Cleanup {
        std::string folder;
        ~Cleanup() { RemoveDirectoryW(WideFromUtf8(folder).c_str()); }
    } cleanup{folder};
    TrustedWalk walk;
    ASSERT_TRUE(WalkTrustedPath(folder + "\\saved", &walk, &reason)) << reason;
    CloseTrustedWalk(&walk);

    std::vector<unsigned char> open = Descriptor(L"D:P(A;OICI;FA;;;WD)");
    ASSERT_FALSE(open.empty());
    const std::wstring wide = WideFromUtf8(folder);
    ASSERT_TRUE(SetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, open.data()));
    DWORD needed = 0;
    GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<unsigned char> back(needed);
    ASSERT_TRUE(needed > 0 && GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, back.data(),
                                               needed, &needed));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(back.data(), &present, &acl, &defaulted));
    if (UnderWine() && (acl == nullptr || acl->AceCount != 1)) {
        GTEST_SKIP() << "Wine keeps no DACL for " << folder << "; the rule is checked above";
    }
    EXPECT_FALSE(WalkTrustedPath(folder + "\\saved", &walk, &reason));
    EXPECT_NE(reason.find("lets S-1-1-0"), std::string::npos) << reason;
    CloseTrustedWalk(&walk);
}

} // namespace
