// The stand-in server's own folder for the message copies it makes for the
// module. The system's temporary folder is shared: a copy at a name anyone
// can guess could be read while it is written, or redirected by a link
// planted there to overwrite another file. So each process makes a folder
// of its own in it, with a name no one can predict and access for this
// user alone, makes its copies only inside, and removes the folder with
// what it holds when the process ends. A folder left by a killed run is
// never reused: every process makes a new one.
#ifndef VELMORA_STANDIN_PRIVATE_TEMP_FOLDER_H
#define VELMORA_STANDIN_PRIVATE_TEMP_FOLDER_H

#include <cstddef>
#include <string>

// The folder's path with a trailing separator, made on the first call (and
// then removed at exit). Every path in it of up to `longestName` further
// bytes fits the server's path buffer; when the system's temporary folder
// is too long for that (or, on Windows, cannot be named in the system's
// 8-bit code page, which the module's path buffer holds), its short form
// is tried. Empty, with `reason` set, when no such folder can be made.
std::string PrivateTempFolder(std::size_t longestName, std::string* reason);

// Removes the folder and everything in it, if it was made. Links inside
// are removed, never followed.
void RemovePrivateTempFolder();

// Also removes the folder when the process is interrupted (Ctrl-C, and on
// POSIX systems SIGTERM and SIGHUP), then lets the interruption take its
// course. For programs, not for a library inside someone else's process.
void RemovePrivateTempFolderOnInterrupt();

// Tells the interruption cleanup that copy number `serial` may be on disk:
// in a signal handler the folder cannot be listed, so it removes that one.
void NoteTempCopySerial(unsigned serial);

#endif
