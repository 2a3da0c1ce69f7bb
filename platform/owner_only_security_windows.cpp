// Owner-only security on Windows; see owner_only_security_windows.h.
#include "platform/owner_only_security_windows.h"

#include "platform/windows_text.h"

namespace {

// Full access, and the same for what is made inside a folder.
constexpr DWORD kOwnerAccess = GENERIC_ALL;
constexpr DWORD kInheritedByContents = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// `what` went wrong, in the system's words.
std::string LastErrorText(const char* what) {
    return std::string(what) + ": " + WindowsErrorText(GetLastError());
}

} // namespace

// The process token's user, as TOKEN_USER in `buffer`.
bool ReadTokenUser(std::vector<unsigned char>* buffer, std::string* reason) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        *reason = LastErrorText("cannot read the process's user");
        return false;
    }
    DWORD needed = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
    buffer->assign(needed, 0);
    const bool ok =
        needed > 0 && GetTokenInformation(token, TokenUser, buffer->data(), needed, &needed) != 0;
    if (!ok) {
        *reason = LastErrorText("cannot read the process's user");
    }
    CloseHandle(token);
    return ok;
}

bool BuildOwnerOnlySecurity(OwnerOnlySecurity* security, std::string* reason) {
    if (!ReadTokenUser(&security->user, reason)) {
        return false;
    }
    PSID user = reinterpret_cast<TOKEN_USER*>(security->user.data())->User.Sid;
    const DWORD aclBytes =
        sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(user);
    security->acl.assign(aclBytes, 0);
    PACL acl = reinterpret_cast<PACL>(security->acl.data());
    SECURITY_DESCRIPTOR* descriptor = &security->descriptor;
    const bool built =
        InitializeAcl(acl, aclBytes, ACL_REVISION) &&
        AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritedByContents, kOwnerAccess, user) &&
        InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) &&
        SetSecurityDescriptorControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    if (!built) {
        *reason = LastErrorText("cannot build the access for this user alone");
        return false;
    }
    security->attributes.nLength = sizeof(security->attributes);
    security->attributes.lpSecurityDescriptor = descriptor;
    security->attributes.bInheritHandle = FALSE;
    return true;
}

const SECURITY_ATTRIBUTES* OwnerOnlyAttributes(std::string* reason) {
    static OwnerOnlySecurity security;
    static std::string failure;
    static const bool built = BuildOwnerOnlySecurity(&security, &failure);
    if (!built) {
        *reason = failure;
        return nullptr;
    }
    return &security.attributes;
}

bool ApplyOwnerOnlySecurity(HANDLE object, std::string* reason) {
    const SECURITY_ATTRIBUTES* attributes = OwnerOnlyAttributes(reason);
    if (attributes == nullptr) {
        return false;
    }
    if (!SetKernelObjectSecurity(object, DACL_SECURITY_INFORMATION,
                                 attributes->lpSecurityDescriptor)) {
        *reason = LastErrorText("cannot make it private");
        return false;
    }
    return true;
}
