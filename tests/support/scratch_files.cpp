// Scratch files of the tests; see scratch_files.h.
#include "tests/support/scratch_files.h"

#include "platform/trusted_path.h"
#include "standin/temp_files.h"

#include <fstream>
#include <sstream>

std::string UniqueTempPath(unsigned serial) {
    std::string path;
    std::string reason;
    return TempCopyPath(serial, &path, &reason) ? path : std::string();
}

bool CreateTempCopy(const std::string& path, const std::vector<std::string>& lines,
                    std::string* reason) {
    TempCopyWriter writer;
    if (!writer.Create(path, reason)) {
        return false;
    }
    for (const std::string& line : lines) {
        if (!writer.Write(line, reason)) {
            return false;
        }
    }
    return writer.Finish(reason);
}

bool ReadWholeFile(const std::string& path, std::string* content, std::string* reason) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *reason = "cannot open " + path;
        return false;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    *content = bytes.str();
    return true;
}

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
        *reason = "the folder " + JoinPath(walk.reached, walk.missing.front()) + " does not exist";
        outcome = CreateOutcome::kFailed;
    } else if (!MakeWalkedFolders(&walk, reason)) {
        outcome = CreateOutcome::kFailed;
    }
    CloseTrustedWalk(&walk);
    return outcome;
}
