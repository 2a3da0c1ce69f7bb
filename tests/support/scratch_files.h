// Files and folders the tests make and read back: in the stand-in
// server's private folder, or under the trust rule as the runner makes
// its own.
#ifndef VELMORA_TESTS_SUPPORT_SCRATCH_FILES_H
#define VELMORA_TESTS_SUPPORT_SCRATCH_FILES_H

#include "platform/system.h"

#include <string>
#include <vector>

// A path in the private folder that no other call of this process gets
// for the same `serial`; empty when there is no private folder.
std::string UniqueTempPath(unsigned serial);

// The file at `path` in the private folder holding the lines, made as the
// server makes its copies.
bool CreateTempCopy(const std::string& path, const std::vector<std::string>& lines,
                    std::string* reason);

// Reads the whole file at `path`. False with `reason`.
bool ReadWholeFile(const std::string& path, std::string* content, std::string* reason);

// Makes the one folder at `path` whose parent is there, under the trust
// rule; kExists when it is there already.
CreateOutcome CreateFolder(const std::string& path, std::string* reason);

#endif
