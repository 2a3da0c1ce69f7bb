// Security for what the runner makes on Windows: the private folder and
// its copies, the folder for saved replacements and its files, the report.
// Left to inherit, they would get the parent's access (under C:\Temp,
// Authenticated Users may change them); instead each carries a DACL of its
// own, protected from inheritance, that grants the run's user alone full
// access (inherited in turn by what is made inside a folder). For the
// Windows implementations in this folder only.
#ifndef VELMORA_PLATFORM_OWNER_ONLY_SECURITY_WINDOWS_H
#define VELMORA_PLATFORM_OWNER_ONLY_SECURITY_WINDOWS_H

#include <string>
#include <vector>
#include <windows.h>

struct OwnerOnlySecurity {
    SECURITY_ATTRIBUTES attributes{};
    SECURITY_DESCRIPTOR descriptor{};
    std::vector<unsigned char> user; // the token's TOKEN_USER
    std::vector<unsigned char> acl;
};

// The process token's user, as TOKEN_USER in `buffer`. False with
// `reason` set.
bool ReadTokenUser(std::vector<unsigned char>* buffer, std::string* reason);

// Builds the descriptor for the user the process runs as; `security` must
// stay where it is while `security->attributes` is in use. False with
// `reason` set.
bool BuildOwnerOnlySecurity(OwnerOnlySecurity* security, std::string* reason);

// The process's descriptor, built on first use; null (with `reason` set)
// when it cannot be built, and then nothing is made.
const SECURITY_ATTRIBUTES* OwnerOnlyAttributes(std::string* reason);

// Puts the protected owner-only DACL on an object opened with WRITE_DAC
// (a report file that was there already).
bool ApplyOwnerOnlySecurity(HANDLE object, std::string* reason);

#endif
