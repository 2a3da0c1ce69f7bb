// Outputs checked against inputs; see output_guard.h.
#include "runner/output/output_guard.h"

#include "platform/system.h"
#include "platform/trusted_path.h"
#include "runner/inputs/maildir_layout.h"
#include "runner/inputs/parent_folder.h"

namespace {

constexpr const char* kSaveOption = "--save-to ";
constexpr const char* kReportOption = "--report ";

// The input that the output with key `outputKey` would write over or
// into, or null; `intoFolder` tells which of the two.
const std::string* OverlappedInput(const std::vector<std::string>& inputs,
                                   const std::string& outputKey, bool* intoFolder) {
    for (const std::string& input : inputs) {
        if (input == kStandardInputPath) {
            continue;
        }
        std::string reason;
        const bool folder = InspectPath(input, &reason) == PathKind::kFolder;
        const std::string inputKey = PathKey(input);
        if (folder ? SameOrInside(outputKey, inputKey, PathSeparator()) : outputKey == inputKey) {
            *intoFolder = folder;
            return &input;
        }
    }
    return nullptr;
}

// The input whose folder (the one it lies in) has the key `folderKey`,
// or null.
const std::string* InputHeldIn(const std::vector<std::string>& inputs,
                               const std::string& folderKey) {
    for (const std::string& input : inputs) {
        if (input != kStandardInputPath && ParentFolder(PathKey(input)) == folderKey) {
            return &input;
        }
    }
    return nullptr;
}

// The Maildir that the folder with key `folderKey` is or lies in, or
// empty: the folder itself and each one above it, up to the root.
std::string EnclosingMaildir(const std::string& folderKey) {
    for (std::string folder = folderKey; !folder.empty(); folder = ParentFolder(folder)) {
        if (IsMaildirAt(folder)) {
            return folder;
        }
    }
    return std::string();
}

// Where `saveFolder` will be, walked as the runner will make it (".."
// and links resolved, the missing part by name); empty with `problem` set
// when the way fails the trust rule.
std::string SaveFolderKey(const std::string& saveFolder, std::string* problem) {
    TrustedWalk walk;
    std::string reason;
    if (!WalkTrustedPath(saveFolder, &walk, &reason)) {
        *problem = ": " + reason;
        return std::string();
    }
    const std::string key = PathKey(WalkedPath(walk));
    CloseTrustedWalk(&walk);
    return key;
}

// The reason the Maildir around `folderKey` gives for keeping outputs
// out, or empty.
std::string MaildirProblem(const std::string& folderKey) {
    const std::string maildir = EnclosingMaildir(folderKey);
    if (maildir.empty()) {
        return std::string();
    }
    return (maildir == folderKey ? std::string(" is a Maildir")
                                 : " lies inside the Maildir " + maildir) +
           "; the mail server would take files saved there for mail, choose a folder "
           "outside it";
}

// The reason `saveFolder` may not take saved replacements, or empty.
std::string SaveFolderProblem(const std::vector<std::string>& inputs,
                              const std::string& saveFolder) {
    std::string problem;
    const PathKind kind = InspectPath(saveFolder, &problem);
    if (kind != PathKind::kFolder && kind != PathKind::kMissing) {
        return " is an existing file, not a folder";
    }
    const std::string key = SaveFolderKey(saveFolder, &problem);
    if (key.empty()) {
        return problem;
    }
    bool intoFolder = false;
    if (const std::string* input = OverlappedInput(inputs, key, &intoFolder)) {
        return " lies inside the folder " + *input +
               " that is read; choose a folder outside the inputs";
    }
    if (const std::string* input = InputHeldIn(inputs, key)) {
        return " is the folder that holds " + *input +
               ", which is read; saved replacements would lie among the messages, choose a "
               "folder apart from the inputs";
    }
    return MaildirProblem(key);
}

// The reason the report file may not be written at `reportFile`, or empty.
std::string ReportProblem(const std::vector<std::string>& inputs, const std::string& reportFile) {
    std::string resolved;
    std::string reason;
    if (!CheckReportPlace(reportFile, &resolved, &reason)) {
        return ": " + reason;
    }
    const std::string key = PathKey(resolved);
    bool intoFolder = false;
    if (const std::string* input = OverlappedInput(inputs, key, &intoFolder)) {
        return (intoFolder ? " lies inside the folder " + *input + " that is read"
                           : " is the message file " + *input + " that is read") +
               "; nothing was written, choose a file outside the inputs";
    }
    return MaildirProblem(ParentFolder(key));
}

} // namespace

bool SameOrInside(const std::string& inner, const std::string& outer, char separator) {
    if (inner.compare(0, outer.size(), outer) != 0) {
        return false;
    }
    if (inner.size() == outer.size()) {
        return true;
    }
    const bool outerEndsWithSeparator = !outer.empty() && outer.back() == separator;
    return outerEndsWithSeparator || inner[outer.size()] == separator;
}

bool OutputsSpareInputs(const std::vector<std::string>& inputs, const std::string& reportFile,
                        const std::string& saveFolder, std::string* error) {
    if (!reportFile.empty()) {
        const std::string problem = ReportProblem(inputs, reportFile);
        if (!problem.empty()) {
            *error = kReportOption + reportFile + problem;
            return false;
        }
    }
    if (!saveFolder.empty()) {
        const std::string problem = SaveFolderProblem(inputs, saveFolder);
        if (!problem.empty()) {
            *error = kSaveOption + saveFolder + problem;
            return false;
        }
    }
    return true;
}
