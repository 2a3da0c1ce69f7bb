// The process's own folder for the stand-in server's message copies. The
// system's temporary folder is shared: a copy at a name anyone can guess
// could be read while it is written, or redirected by a link planted
// there. So the process makes a folder of its own, with a name no one can
// predict and access for this user alone, holds it open, and makes, reads
// and removes its copies relative to what it holds; at exit (and when
// interrupted) it empties and removes the folder it holds, never whatever
// has come to bear its name. A folder left by a killed run is never reused.
//
// Copies are named by their name inside the folder. On Windows names and
// paths are 8-bit, in the system's code page, as the module's path buffer
// holds them.
#ifndef VELMORA_PLATFORM_PRIVATE_FOLDER_H
#define VELMORA_PLATFORM_PRIVATE_FOLDER_H

#include <cstddef>
#include <cstdint>
#include <string>

// Makes the folder and holds it; returns its path with a trailing
// separator, such that the path and up to `room` further bytes stay under
// `limit` bytes (the server's path buffer). The user's temporary folder
// (TMPDIR; TMP on Windows) is used only when the way to it passes the
// trust rule of trusted_path.h; otherwise the system's, and `note` says
// why. Empty, with `reason` set, when no folder can be made. Call once.
std::string MakePrivateFolder(std::size_t room, std::size_t limit, std::string* note,
                              std::string* reason);

// Empties and removes the folder made, if any, by what is held: links in
// it are removed as themselves, and a folder put in its place is left
// alone. Safe to call more than once.
void RemovePrivateFolder();

// Also removes the folder when the process is interrupted (Ctrl-C, and on
// POSIX systems SIGINT, SIGTERM and SIGHUP), then lets the interruption
// take its course. A signal the process was started with ignored (SIGHUP
// under nohup) stays ignored. For programs, not for a library inside
// someone else's process.
void RemovePrivateFolderOnInterrupt();

// Tells the interruption cleanup that the copy `name` may be on disk: a
// signal handler cannot list the folder, so it removes that one.
void NotePrivateCopy(const std::string& name);

// A copy, open: a descriptor, or a Windows handle; -1 for none.
constexpr std::intptr_t kNoCopy = -1;

// Creates the copy `name` for writing, only when nothing is there (a file
// or a link at the name is an error, never written through), for this
// user alone. False with `reason` set.
bool CreatePrivateCopy(const std::string& name, std::intptr_t* copy, std::string* reason);

// Opens the copy `name` for reading, not through a link.
bool OpenPrivateCopy(const std::string& name, std::intptr_t* copy, std::string* reason);

// Writes `size` bytes whole.
bool WritePrivateCopy(std::intptr_t copy, const char* bytes, std::size_t size, std::string* reason);

// Reads up to `size` bytes, setting `got`; 0 at the end.
bool ReadPrivateCopy(std::intptr_t copy, char* buffer, std::size_t size, std::size_t* got,
                     std::string* reason);

// Closes the copy; false with `reason` when its last bytes were lost.
bool ClosePrivateCopy(std::intptr_t copy, std::string* reason);

// True while the open copy `name` still has its name in the folder: it
// was not deleted while held.
bool PrivateCopyStillNamed(std::intptr_t copy, const std::string& name);

// True when something is at `name` in the folder.
bool PrivateCopyExists(const std::string& name);

// Removes what is at `name` in the folder (a file or a link, or an empty
// folder), if anything.
void RemovePrivateCopy(const std::string& name);

#endif
