// Outputs checked against inputs; see output_guard.h.
#include "runner/output_guard.h"

#include "runner/maildir_layout.h"
#include "runner/parent_folder.h"
#include "platform/system.h"

namespace {

constexpr const char* kSaveOption = "--save-to ";

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

// The key of a folder that may not exist yet, nor its parents: PathKey
// alone gives those a name relative to where it stopped looking, which
// would pass for a place outside every input.
std::string FutureFolderKey(const std::string& path) {
    std::vector<std::string> missing;
    std::string existing = path;
    std::string reason;
    for (std::string parent = ParentFolder(existing);
         !parent.empty() && InspectPath(existing, &reason) == PathKind::kMissing;
         parent = ParentFolder(existing)) {
        missing.push_back(BaseName(existing));
        existing = parent;
    }
    std::string key = PathKey(existing);
    for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
        key = JoinPath(key, *name);
    }
    return PathKey(key);
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

// The reason `saveFolder` may not take saved replacements, or empty.
std::string SaveFolderProblem(const std::vector<std::string>& inputs,
                              const std::string& saveFolder) {
    std::string reason;
    const PathKind kind = InspectPath(saveFolder, &reason);
    if (kind != PathKind::kFolder && kind != PathKind::kMissing) {
        return " is an existing file, not a folder";
    }
    const std::string key = FutureFolderKey(saveFolder);
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
    const std::string maildir = EnclosingMaildir(key);
    if (!maildir.empty()) {
        return (maildir == key ? std::string(" is a Maildir")
                               : " lies inside the Maildir " + maildir) +
               "; the mail server would take files saved there for mail, choose a folder "
               "outside it";
    }
    return std::string();
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
    bool intoFolder = false;
    if (!reportFile.empty()) {
        if (const std::string* input = OverlappedInput(inputs, PathKey(reportFile), &intoFolder)) {
            *error = "--report " + reportFile +
                     (intoFolder ? " lies inside the folder " + *input + " that is read"
                                 : " is the message file " + *input + " that is read") +
                     "; nothing was written, choose a file outside the inputs";
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
