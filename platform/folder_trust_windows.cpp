// The trust rule from security descriptors; see folder_trust_windows.h.
#include "platform/folder_trust_windows.h"

#include "platform/owner_only_security_windows.h"
#include "platform/windows_text.h"

// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

namespace {

// NT SERVICE\TrustedInstaller: S-1-5-80- and these.
constexpr DWORD kTrustedInstallerRids[] = {
    SECURITY_SERVICE_ID_BASE_RID,    SECURITY_TRUSTED_INSTALLER_RID1,
    SECURITY_TRUSTED_INSTALLER_RID2, SECURITY_TRUSTED_INSTALLER_RID3,
    SECURITY_TRUSTED_INSTALLER_RID4, SECURITY_TRUSTED_INSTALLER_RID5};
constexpr DWORD kSystemRids[] = {SECURITY_LOCAL_SYSTEM_RID};
constexpr DWORD kAdministratorsRids[] = {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS};
constexpr DWORD kCreatorOwnerRids[] = {SECURITY_CREATOR_OWNER_RID};

// Rights that let their holder add, remove or replace what is in a
// folder, or change who may (FILE_ADD_SUBDIRECTORY alone is not one:
// see the header). Generic rights are mapped to these first.
constexpr DWORD kChangingRights = FILE_ADD_FILE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER |
                                  DELETE | GENERIC_WRITE | GENERIC_ALL;
const GENERIC_MAPPING kFileMapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                      FILE_ALL_ACCESS};

// The SID of `authority` and `rids`.
template <std::size_t kCount>
SidBytes WellKnownSid(SID_IDENTIFIER_AUTHORITY authority, const DWORD (&rids)[kCount]) {
    SidBytes sid(GetSidLengthRequired(static_cast<UCHAR>(kCount)), 0);
    InitializeSid(sid.data(), &authority, static_cast<UCHAR>(kCount));
    for (std::size_t i = 0; i < kCount; ++i) {
        *GetSidSubAuthority(sid.data(), static_cast<DWORD>(i)) = rids[i];
    }
    return sid;
}

// The NT authority's SID of `rids`.
template <std::size_t kCount> SidBytes NtSid(const DWORD (&rids)[kCount]) {
    return WellKnownSid(SID_IDENTIFIER_AUTHORITY(SECURITY_NT_AUTHORITY), rids);
}

// CREATOR OWNER: stands for whoever makes something inside, so an entry
// for it grants nothing on the folder itself.
const SidBytes& CreatorOwnerSid() {
    static const SidBytes sid =
        WellKnownSid(SID_IDENTIFIER_AUTHORITY(SECURITY_CREATOR_SID_AUTHORITY), kCreatorOwnerRids);
    return sid;
}

// `sid` as the system writes it ("S-1-5-32-545").
std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return "an account that cannot be named";
    }
    const std::string utf8 = Utf8FromWide(text);
    LocalFree(text);
    return utf8;
}

// True when `sid` is one of `list`.
bool IsOneOf(PSID sid, const std::vector<SidBytes>& list) {
    for (const SidBytes& known : list) {
        if (EqualSid(sid, const_cast<unsigned char*>(known.data()))) {
            return true;
        }
    }
    return false;
}

// True when `sid` is the run's user or the system.
bool IsTrusted(PSID sid, const TrustedSids& trusted) {
    return EqualSid(sid, const_cast<unsigned char*>(trusted.user.data())) ||
           IsOneOf(sid, trusted.system);
}

// The descriptor's owner, or null.
PSID OwnerOf(PSECURITY_DESCRIPTOR descriptor) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr ||
        !IsValidSid(owner)) {
        return nullptr;
    }
    return owner;
}

// Why the allowing entry `header` (of a DACL) lets someone untrusted
// change the folder, or empty. Entries for the folder's contents only
// grant nothing on the folder itself.
std::string AllowedEntryProblem(const ACE_HEADER* header, const TrustedSids& trusted) {
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) {
        return std::string();
    }
    // Every allowing entry starts with the header and the mask.
    const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    DWORD mask = allowed->Mask;
    MapGenericMask(&mask, const_cast<GENERIC_MAPPING*>(&kFileMapping));
    if ((mask & kChangingRights) == 0) {
        return std::string();
    }
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
        header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
        // Object entries belong to directory objects, not files: who they
        // are for is not read, and the folder is not trusted.
        return "has an access entry of a kind files do not use, which lets someone change it";
    }
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    if (IsTrusted(sid, trusted) ||
        EqualSid(sid, const_cast<unsigned char*>(CreatorOwnerSid().data()))) {
        return std::string();
    }
    return "lets " + SidText(sid) + " add, remove or replace what is in it";
}

} // namespace

void BuildTrustedSids(PSID user, TrustedSids* trusted) {
    const auto* bytes = static_cast<const unsigned char*>(user);
    trusted->user.assign(bytes, bytes + GetLengthSid(user));
    trusted->system = {NtSid(kSystemRids), NtSid(kAdministratorsRids),
                       NtSid(kTrustedInstallerRids)};
}

const TrustedSids* ProcessTrustedSids(std::string* reason) {
    static TrustedSids trusted;
    static std::string failure;
    static const bool read = [] {
        SidBytes token;
        if (!ReadTokenUser(&token, &failure)) {
            return false;
        }
        BuildTrustedSids(reinterpret_cast<TOKEN_USER*>(token.data())->User.Sid, &trusted);
        SidBytes administrators = NtSid(kAdministratorsRids);
        BOOL member = FALSE;
        trusted.userIsAdministrator =
            CheckTokenMembership(nullptr, administrators.data(), &member) && member;
        return true;
    }();
    if (!read) {
        *reason = failure;
        return nullptr;
    }
    return &trusted;
}

std::string FolderSecurityProblem(PSECURITY_DESCRIPTOR descriptor, const TrustedSids& trusted) {
    PSID owner = OwnerOf(descriptor);
    if (owner == nullptr) {
        return "has no owner that can be read";
    }
    if (!IsTrusted(owner, trusted)) {
        return "belongs to another user (" + SidText(owner) +
               "), who could change what is written there";
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        return "has an access list that cannot be read";
    }
    if (!present || dacl == nullptr) {
        return "has no access list, so everyone may change it";
    }
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(dacl, index, &entry)) {
            return "has an access list that cannot be read";
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // Denying entries only take rights away: leaving them out can
        // refuse a folder that is safe, never pass one that is not.
        const bool allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
                            header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
                            header->AceType == ACCESS_ALLOWED_OBJECT_ACE_TYPE ||
                            header->AceType == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
        const std::string problem = allows ? AllowedEntryProblem(header, trusted) : std::string();
        if (!problem.empty()) {
            return problem;
        }
    }
    return std::string();
}

std::string ReportOwnerProblem(PSECURITY_DESCRIPTOR descriptor, const TrustedSids& trusted) {
    PSID owner = OwnerOf(descriptor);
    if (owner == nullptr) {
        return "the file there has no owner that can be read";
    }
    if (EqualSid(owner, const_cast<unsigned char*>(trusted.user.data()))) {
        return std::string();
    }
    const SidBytes administrators = NtSid(kAdministratorsRids);
    if (trusted.userIsAdministrator &&
        EqualSid(owner, const_cast<unsigned char*>(administrators.data()))) {
        return std::string();
    }
    return "the file there belongs to another user (" + SidText(owner) +
           "); remove it or name another";
}

std::string HeldObjectProblem(HANDLE object,
                              std::string (*check)(PSECURITY_DESCRIPTOR, const TrustedSids&)) {
    std::string reason;
    const TrustedSids* trusted = ProcessTrustedSids(&reason);
    if (trusted == nullptr) {
        return reason;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(object, SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        return "cannot read who owns it and who may change it: " + WindowsErrorText(error);
    }
    reason = check(descriptor, *trusted);
    LocalFree(descriptor);
    return reason;
}
