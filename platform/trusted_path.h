// Where the runner writes: the folder for saved replacements, the report
// and the private folder for the stand-in's copies. The runner is often
// run as root or Administrator in folders that other users can write to,
// so a place is taken only when nobody else could have changed the way to
// it, as OpenSSH does with StrictModes: every existing folder on the way
// and every link met belongs to root (the system) or to the run's user,
// and no folder on the way is writable by others unless it is sticky.
// The way is walked from the root by descriptor (on Windows by handle),
// each step relative to the last; folders still to be made are made one
// by one the same way.
#ifndef VELMORA_PLATFORM_TRUSTED_PATH_H
#define VELMORA_PLATFORM_TRUSTED_PATH_H

#include "platform/system.h"

#include <cstdint>
#include <string>
#include <vector>

// A folder reached by a trusted walk.
struct TrustedWalk {
    std::intptr_t handle = -1;        // the deepest existing folder, held open
    std::string reached;              // its path: absolute, no "." or "..", links resolved
    std::vector<std::string> missing; // the names below it still to be made, in order
};

// The path `walk` stands for once its missing folders are made.
std::string WalkedPath(const TrustedWalk& walk);

// Walks to the folder `path`, resolving ".." and links as the system
// would on the folders that exist and by name on the part still to be
// made ("new/../saved" with new/ missing is "saved"). False with `reason`
// when anything on the way fails the trust rule, or is not a folder.
bool WalkTrustedPath(const std::string& path, TrustedWalk* walk, std::string* reason);

// Makes the walk's missing folders one by one below its held folder, for
// this user alone, and holds the last. A folder that someone else made
// there in the meantime fails the trust rule. False with `reason`.
bool MakeWalkedFolders(TrustedWalk* walk, std::string* reason);

// Lets go of the held folder.
void CloseTrustedWalk(TrustedWalk* walk);

// Checks the report file's place: its folder passes the trust rule and
// exists, and a file already at the name is a regular file of this user
// with no other name (one a user planted for the run to fill is refused).
// `resolved` gets the path as it will be. False with `reason`.
bool CheckReportPlace(const std::string& path, std::string* resolved, std::string* reason);

// Creates `name` in the walk's held folder holding `content`, only if
// nothing is there: never through a link, for this user alone. A file
// that could not be written whole is removed again.
CreateOutcome CreateFileInFolder(const TrustedWalk& folder, const std::string& name,
                                 const std::string& content, std::string* reason);

#endif
