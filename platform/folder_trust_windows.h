// The trust rule of trusted_path.h read from Windows security descriptors.
// A folder on the way is trusted when it belongs to the run's user or to
// the system (SYSTEM, Administrators, TrustedInstaller), and its DACL lets
// nobody else add, remove or replace what is in it, nor change who may.
// The right to add a subfolder alone (which C:\ grants Authenticated
// Users) is the Windows counterpart of a sticky folder: another user may
// add a folder of theirs, owned by them and so refused when on the way,
// but cannot replace or remove an entry already there. For the Windows
// implementations in this folder only.
#ifndef VELMORA_PLATFORM_FOLDER_TRUST_WINDOWS_H
#define VELMORA_PLATFORM_FOLDER_TRUST_WINDOWS_H

#include <string>
#include <vector>
#include <windows.h>

// A SID in a buffer of its own.
using SidBytes = std::vector<unsigned char>;

// The SIDs the rule trusts: the run's user, then SYSTEM, Administrators
// and TrustedInstaller.
struct TrustedSids {
    SidBytes user;
    std::vector<SidBytes> system;
    bool userIsAdministrator = false; // the run's token holds Administrators
};

// Builds `trusted` for the user `user` (a SID).
void BuildTrustedSids(PSID user, TrustedSids* trusted);

// The process's trusted SIDs, read from its token on first use; null
// (with `reason` set) when they cannot be read, and then nothing is
// trusted.
const TrustedSids* ProcessTrustedSids(std::string* reason);

// Why a folder with `descriptor` (owner and DACL) fails the trust rule
// for `trusted`, or empty. The reason follows the folder's name.
std::string FolderSecurityProblem(PSECURITY_DESCRIPTOR descriptor, const TrustedSids& trusted);

// Why an existing file with `descriptor` (owner) may not be replaced by
// the run, or empty: it must belong to the run's user or, when the run
// holds Administrators, to that group (where files made by an
// administrator belong to it).
std::string ReportOwnerProblem(PSECURITY_DESCRIPTOR descriptor, const TrustedSids& trusted);

// Why the folder or file held as `object` (opened with READ_CONTROL)
// fails `check`, or empty; reading its security may fail too.
std::string HeldObjectProblem(HANDLE object,
                              std::string (*check)(PSECURITY_DESCRIPTOR, const TrustedSids&));

#endif
