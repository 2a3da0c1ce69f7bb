// What the runner needs from the operating system: looking at paths,
// listing folders, creating files without overwriting, and telling whether
// standard error is a terminal. One implementation per platform.
#ifndef VELMORA_TOOLS_RUNNER_PLATFORM_H
#define VELMORA_TOOLS_RUNNER_PLATFORM_H

#include <string>
#include <vector>

enum class PathKind {
    kFile,         // a regular file, or a link to one
    kFolder,       // a folder named directly
    kLinkedFolder, // a link to a folder, met inside a folder: not followed
    kOther,        // a device, pipe or socket: never opened
    kMissing,      // nothing there, or a link to nothing
    kUnknown,      // the system would not say; `reason` tells why
};

struct FolderEntry {
    std::string name;
    PathKind kind;
    std::string reason;  // for kMissing and kUnknown
    bool hidden = false; // marked hidden by the system (Windows' attributes)
};

// What is at `path`, following links. On kMissing and kUnknown, `reason`
// is the system's explanation.
PathKind InspectPath(const std::string& path, std::string* reason);

// The entries of a folder other than "." and "..", in no particular order.
// False with `reason` set when the folder cannot be read.
bool ListFolder(const std::string& path, std::vector<FolderEntry>* entries, std::string* reason);

// `folder` and `name` joined with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// The last component of `path`.
std::string BaseName(const std::string& path);

enum class CreateOutcome { kCreated, kExists, kFailed };

// Creates `path` holding `content`, only if nothing is there yet. A file
// that could not be written whole is removed again.
CreateOutcome CreateNewFile(const std::string& path, const std::string& content,
                            std::string* reason);

// Makes the folder. kExists when something (a folder or not) is already
// at `path`; kFailed with `reason` set otherwise.
CreateOutcome CreateFolder(const std::string& path, std::string* reason);

// True when standard error (or output) goes to a terminal.
bool StandardErrorIsTerminal();
bool StandardOutputIsTerminal();

#endif
