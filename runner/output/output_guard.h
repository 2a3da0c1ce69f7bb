// Nothing the runner writes may replace what it reads: the report file
// and the folder for saved replacements are checked against the inputs
// before any job runs.
#ifndef VELMORA_RUNNER_OUTPUT_OUTPUT_GUARD_H
#define VELMORA_RUNNER_OUTPUT_OUTPUT_GUARD_H

#include <string>
#include <vector>

// False, with `error` set, when the way to `reportFile` or `saveFolder`
// fails the trust rule of trusted_path.h (or a report file there is not
// the user's own), when `reportFile` (empty: none) names one of `inputs`,
// a place inside a folder among them or inside a Maildir, or when `saveFolder`
// (the folder for saved replacements; empty: none) names an existing
// file, a folder among `inputs` or a place inside one, the folder that
// holds one of `inputs` (a message file's own folder), or a Maildir or a
// place inside one (see maildir_layout.h: its new/ when cur/ is read, or
// any folder in it whose files the mail server may pick up). Names are
// compared as the file system sees them (letter case ignored on Windows,
// links followed), as they will be: a save folder that does not exist
// yet, nor its parents, is compared by where it would be made, ".."
// taken by name on the part still to be made.
bool OutputsSpareInputs(const std::vector<std::string>& inputs, const std::string& reportFile,
                        const std::string& saveFolder, std::string* error);

// True when the path key `inner` is `outer` or lies inside it.
bool SameOrInside(const std::string& inner, const std::string& outer, char separator);

#endif
