// Reading a message file for a job.
#ifndef VELMORA_TOOLS_MESSAGE_FILE_H
#define VELMORA_TOOLS_MESSAGE_FILE_H

#include <string>

// Reads the whole file into `content`. False with `reason` set, in the
// system's words, when it cannot be opened or read to its end.
bool ReadMessageFile(const std::string& path, std::string* content, std::string* reason);

#endif
