// The stand-in server's temporary message copies: real files, made only
// inside its private folder (see private_temp_folder.h), for this user
// alone, never through a link and never over a file that is there. Paths
// are those the server gives the module; each is reached as a name in the
// folder the process holds, and a path outside it is refused.
//
// On Windows the paths are 8-bit, in the system's code page, as the
// module's path buffer holds them; the files are reached through the wide
// calls.
#ifndef VELMORA_STANDIN_TEMP_FILES_H
#define VELMORA_STANDIN_TEMP_FILES_H

#include <cstdint>
#include <string>
#include <vector>

// The path of copy number `serial` in the private folder, short enough for
// the server's 128-byte path buffer. False, with `reason` set, when there
// is no such folder.
bool TempCopyPath(unsigned serial, std::string* path, std::string* reason);

// Tells the interruption cleanup that the copy at `path` may be on disk
// from now on (see private_folder.h). From one thread: the server's.
void NoteCopyInFlight(const std::string& path);

// What the user is to know about where the copies go (a temporary folder
// named by the environment passed over, and why), or empty. Makes the
// private folder if it is not made yet.
std::string TempCopiesNote();

// Writes a new file at `path` in pieces: created only when nothing is
// there (a file or a link planted at the name is an error, never written
// through), readable and writable by this user alone. A file that is not
// finished is removed.
class TempCopyWriter {
  public:
    TempCopyWriter() = default;
    ~TempCopyWriter();
    TempCopyWriter(const TempCopyWriter&) = delete;
    TempCopyWriter& operator=(const TempCopyWriter&) = delete;

    // Each false with `reason` set.
    bool Create(const std::string& path, std::string* reason);
    bool Write(const std::string& piece, std::string* reason);
    bool Finish(std::string* reason);

  private:
    void Abandon();

    std::string name_;          // in the private folder
    std::intptr_t handle_ = -1; // a descriptor, or a Windows handle
};

// Opens the file at `path` and reads it up to and with the empty line that
// ends its header section (all of it when it has none), not through a
// link; the file stays open in `held`, as a server holds the files it
// uses. False with `reason`.
bool OpenHeldCopy(const std::string& path, std::string* head, std::intptr_t* held,
                  std::string* reason);

// True while the held file at `path` still has its name (was not deleted).
bool HeldCopyStillNamed(std::intptr_t held, const std::string& path);

// Lets go of a held file.
void CloseHeldCopy(std::intptr_t held);

bool FileExists(const std::string& path);

// Removes the file at `path`, if there is one.
void RemoveFile(const std::string& path);

#endif
