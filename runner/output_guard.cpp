// Outputs checked against inputs; see output_guard.h.
#include "runner/output_guard.h"

#include "runner/runner_platform.h"

namespace {

// The input that `output` would write over or into, or null; `folder`
// tells which of the two.
const std::string* OverlappedInput(const std::vector<std::string>& inputs,
                                   const std::string& output, bool* intoFolder) {
    const std::string outputKey = PathKey(output);
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

bool OutputsSpareInputs(const std::vector<std::string>& inputs, const std::string& outputFile,
                        const std::string& outFolder, std::string* error) {
    bool intoFolder = false;
    if (!outputFile.empty()) {
        if (const std::string* input = OverlappedInput(inputs, outputFile, &intoFolder)) {
            *error = "--output " + outputFile +
                     (intoFolder ? " lies inside the folder " + *input + " that is read"
                                 : " is the message file " + *input + " that is read") +
                     "; nothing was written, choose a file outside the inputs";
            return false;
        }
    }
    if (!outFolder.empty()) {
        std::string reason;
        const PathKind kind = InspectPath(outFolder, &reason);
        if (kind != PathKind::kFolder && kind != PathKind::kMissing) {
            *error = "--out " + outFolder + " is an existing file, not a folder";
            return false;
        }
        if (OverlappedInput(inputs, outFolder, &intoFolder) != nullptr) {
            *error = "--out " + outFolder +
                     " lies inside a folder that is read; choose a folder outside the inputs";
            return false;
        }
    }
    return true;
}
