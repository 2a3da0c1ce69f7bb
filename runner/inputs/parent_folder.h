// The folder a path names its place in, worked out from the name alone,
// for walking up from a folder that may not exist yet.
#ifndef VELMORA_RUNNER_INPUTS_PARENT_FOLDER_H
#define VELMORA_RUNNER_INPUTS_PARENT_FOLDER_H

#include <string>

// `path` less its last component and the separators before it: "a/b/c"
// gives "a/b", "/x" gives "/" and, on Windows, "C:\x" gives "C:\". Empty
// when there is nothing above it in the name: "a" (in the current
// folder), "/" or "C:\". Nothing is looked up, so "a/.." gives "a".
std::string ParentFolder(const std::string& path);

#endif
