// Making one folder under the trust rule, on every system; see system.h
// and trusted_path.h.
#include "platform/system.h"
#include "platform/trusted_path.h"

CreateOutcome CreateFolder(const std::string& path, std::string* reason) {
    TrustedWalk walk;
    if (!WalkTrustedPath(path, &walk, reason)) {
        return CreateOutcome::kFailed;
    }
    CreateOutcome outcome = CreateOutcome::kCreated;
    if (walk.missing.empty()) {
        *reason = "it is there already";
        outcome = CreateOutcome::kExists;
    } else if (walk.missing.size() > 1) {
        // Only the last folder is made here; MakeFolder makes the others.
        *reason = "the folder " + JoinPath(walk.reached, walk.missing.front()) + " does not exist";
        outcome = CreateOutcome::kFailed;
    } else if (!MakeWalkedFolders(&walk, reason)) {
        outcome = CreateOutcome::kFailed;
    }
    CloseTrustedWalk(&walk);
    return outcome;
}
