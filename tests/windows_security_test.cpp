// What the runner makes on Windows carries a DACL of its own, protected
// from inheritance, for the run's user alone: the descriptor built, and
// the one read back from a folder and a file made through the platform
// (where the system keeps one: Wine keeps what it is given).
#include "platform/owner_only_security_windows.h"
#include "platform/system.h"
#include "platform/trusted_path.h"
#include "platform/windows_text.h"

#include <gtest/gtest.h>

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

} // namespace
