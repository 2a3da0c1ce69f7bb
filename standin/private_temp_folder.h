// The stand-in server's own folder for the message copies it makes for the
// module: made on first use in the user's temporary folder when the way to
// it can be trusted (else the system's), for this user alone, held open by
// the process and removed with what it holds when the process ends (see
// platform/private_folder.h).
#ifndef VELMORA_STANDIN_PRIVATE_TEMP_FOLDER_H
#define VELMORA_STANDIN_PRIVATE_TEMP_FOLDER_H

#include <cstddef>
#include <string>

// The folder's path with a trailing separator, made on the first call (and
// then removed at exit). Every path in it of up to `longestName` further
// bytes fits the server's path buffer; when the user's temporary folder
// is too long for that (or, on Windows, cannot be named in the system's
// 8-bit code page, which the module's path buffer holds), its short form
// or the system's is tried. Empty, with `reason` set, when no such folder
// can be made.
std::string PrivateTempFolder(std::size_t longestName, std::string* reason);

// What the user is to know about where the folder was made (a temporary
// folder named by the environment passed over, and why), or empty. Makes
// the folder if it is not made yet.
std::string PrivateTempFolderNote(std::size_t longestName);

// Removes the folder and everything in it, if it was made. Links inside
// are removed, never followed.
void RemovePrivateTempFolder();

// Also removes the folder when the process is interrupted (Ctrl-C, and on
// POSIX systems SIGINT, SIGTERM and SIGHUP unless the process was started
// with them ignored), then lets the interruption take its course. For
// programs, not for a library inside someone else's process.
void RemovePrivateTempFolderOnInterrupt();

#endif
