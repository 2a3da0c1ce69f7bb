// What the runner needs from the operating system: its arguments, looking
// at paths, listing folders, reading inputs and writing outputs, creating
// files without overwriting, checksums, and telling whether standard
// output or error is a terminal. One implementation per platform.
//
// Names are UTF-8 throughout the runner. On Windows they are turned into
// the system's own UTF-16 names, so that a file named in any script can be
// listed, read and saved, and paths longer than 260 characters work.
#ifndef VELMORA_PLATFORM_SYSTEM_H
#define VELMORA_PLATFORM_SYSTEM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PathKind {
    kFile,    // a regular file, or a link to one
    kFolder,  // a folder
    kOther,   // a device, pipe or socket: never opened
    kMissing, // nothing there, or a link to nothing
    kUnknown, // the system would not say; `reason` tells why
};

// Loads, from the system folder, the system DLLs that are not KnownDLLs
// and that the system's own DLLs may pull in by name while the runner
// works (on Windows, version.dll: CryptoAPI brings it along). Loaded first
// from where they belong, a copy planted beside the runner is never taken
// for them. Nothing to do elsewhere. Call it first thing.
void PinSystemLibraries();

// Makes a write to a closed pipe (`velmora-run ... | head`) fail as a
// write, with the run's own status and cleanup, rather than end the
// process at once. Nothing to do on Windows. Call it first thing.
void IgnoreBrokenPipes();

// The program's arguments without the program's name, as UTF-8 (on
// Windows read from the wide command line, so that no name is lost to the
// system's code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// What is at `path`, following links. On kMissing and kUnknown, `reason`
// is the system's explanation.
PathKind InspectPath(const std::string& path, std::string* reason);

// Folders are walked by descriptor: see held_folder.h.

// `folder` and `name` joined with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// The last component of `path`.
std::string BaseName(const std::string& path);

// A key that two names of the same place share: the full path, in the
// letter case the file system ignores (on Windows), so that an output
// can be compared with the inputs before anything is written. A place
// that does not exist yet gets the key it would have.
std::string PathKey(const std::string& path);

// The platform's path separator.
char PathSeparator();

// The system's own spelling of a program's help option ("/?" on
// Windows), or null where there is none.
const char* SystemHelpOption();

// The path that names standard input.
constexpr const char* kStandardInputPath = "-";

// Why a path is refused as an input: a folder where a file is wanted, a
// device, a pipe or a socket.
constexpr const char* kNotRegularFile = "not a regular file";

// A file or standard input, read as bytes (binary mode on Windows).
struct InputFile {
    std::intptr_t handle = -1;
    bool standardInput = false;
    // The size seen when it was opened, when the opening looked (POSIX):
    // InputFileSize then asks the system no more. -1: not known.
    std::int64_t openedSize = -1;
};

// Opens `path` for reading; "-" is standard input. False with `reason`.
bool OpenInputFile(const std::string& path, InputFile* file, std::string* reason);

// Reads up to `size` bytes into `buffer`, setting `got`; 0 bytes at the
// end. False with `reason` set when the read failed.
bool ReadInputFile(InputFile* file, char* buffer, std::size_t size, std::size_t* got,
                   std::string* reason);

// Closes the file (standard input stays open).
void CloseInputFile(InputFile* file);

// The file's size in bytes, 0 when it has none (standard input, a pipe).
// 64 bits: mailboxes grow past 4 GB, also on 32-bit Windows.
std::uint64_t InputFileSize(const InputFile& file);

// Where text goes: standard output, standard error or a report file.
struct OutputFile {
    std::intptr_t handle = -1;
    bool console = false; // a Windows console: text is shown, not stored
    bool owned = false;   // a file the runner opened, closed by it
};

OutputFile StandardOutput();
OutputFile StandardError();

// Creates the report file at `path`, replacing one that is there: the
// caller has made sure that it is none of the inputs. False with `reason`.
bool CreateReportFile(const std::string& path, OutputFile* file, std::string* reason);

// Writes UTF-8 `text` whole; to a Windows console as the characters it
// stands for. False with `reason` set when it could not be written.
bool WriteOutputFile(const OutputFile& file, const std::string& text, std::string* reason);

// Closes a report file; false with `reason` set if its last bytes could
// not be written. Standard output and error stay open.
bool CloseOutputFile(OutputFile* file, std::string* reason);

// True where text files end their lines with CR LF (Windows): there the
// runner writes its report and its lines so. Saved replacements are CR LF
// everywhere: they are the server's job, which holds mail so.
bool TextFilesUseCrlf();

enum class CreateOutcome { kCreated, kExists, kFailed };

// Creates `path` holding `content`, only if nothing is there yet. A file
// that could not be written whole is removed again.
CreateOutcome CreateNewFile(const std::string& path, const std::string& content,
                            std::string* reason);

// The SHA-256 of the file at `path` in lower-case hex. False with `reason`.
bool FileSha256(const std::string& path, std::string* hex, std::string* reason);

// The version the module file carries in its properties ("1.2.0.0"), or
// empty when it has none (a POSIX shared library).
std::string ModuleFileVersion(const std::string& path);

// True when standard error (or output) goes to a terminal.
bool StandardErrorIsTerminal();
bool StandardOutputIsTerminal();

#endif
