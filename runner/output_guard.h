// Nothing the runner writes may replace what it reads: the report file
// and the folder for saved replacements are checked against the inputs
// before any job runs.
#ifndef VELMORA_RUNNER_OUTPUT_GUARD_H
#define VELMORA_RUNNER_OUTPUT_GUARD_H

#include <string>
#include <vector>

// False, with `error` set, when `outputFile` (empty: none) names one of
// `inputs` or a place inside a folder among them, or when `outFolder`
// (empty: none) names an existing file, or a folder among `inputs` or
// inside one. Names are compared as the file system sees them (letter
// case ignored on Windows, links followed).
bool OutputsSpareInputs(const std::vector<std::string>& inputs, const std::string& outputFile,
                        const std::string& outFolder, std::string* error);

// True when the path key `inner` is `outer` or lies inside it.
bool SameOrInside(const std::string& inner, const std::string& outer, char separator);

#endif
