// Real files for the host's temporary message copies.
#ifndef VELMORA_STANDIN_TEMP_FILES_H
#define VELMORA_STANDIN_TEMP_FILES_H

#include <string>
#include <vector>

// A path in the system's temporary directory that no other run uses,
// short enough for the host's 128-byte path buffer.
std::string UniqueTempPath(unsigned serial);

// Writes the lines to a file, replacing it. False on failure.
bool WriteLinesToFile(const std::string& path, const std::vector<std::string>& lines);

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string* content);

bool FileExists(const std::string& path);

#endif
