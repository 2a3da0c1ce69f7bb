// Walking folders that other users own, by descriptor (a handle on
// Windows) rather than by name: each folder is opened relative to the one
// that listed it, each file relative to its folder, never through a link
// (a junction or other reparse point on Windows), and what is opened must
// be what was listed. A user who swaps a folder for a link, or a file for
// another, between the listing and the open gets the entry refused, not
// followed. The folder named by the admin may itself be a link: the admin
// chose it.
#ifndef VELMORA_PLATFORM_HELD_FOLDER_H
#define VELMORA_PLATFORM_HELD_FOLDER_H

#include "platform/system.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What tells one file from every other while the run lasts: device and
// inode (on Windows the volume's serial number and the file's index).
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;

    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && index == other.index;
    }
    bool operator<(const FileIdentity& other) const {
        return volume != other.volume ? volume < other.volume : index < other.index;
    }
};

// A folder held open for listing and for opening its entries.
struct HeldFolder {
    std::intptr_t handle = -1;
    FileIdentity identity;
    std::uint64_t owner = 0; // the owning user's number (POSIX); 0 on Windows
};

// An identity whose index is this one is not known (a file system that
// keeps no file indexes): it is compared with nothing.
constexpr std::uint64_t kUnknownIndex = 0;

// A listing that cannot tell how many names a file has (Windows'): the
// open file tells.
constexpr std::uint64_t kLinksUnknown = 0;

// One entry of a folder as its listing saw it.
struct ListedEntry {
    std::string name;
    PathKind kind = PathKind::kUnknown; // kFile, kFolder, kOther or kUnknown
    bool link = false;                  // a link, junction or reparse point: never followed
    bool hidden = false;                // marked hidden or system (Windows' attributes)
    FileIdentity identity;
    std::uint64_t links = 1; // how many names the file has (hard links), or kLinksUnknown
    std::string reason;      // for kUnknown
};

// Opens the folder the admin named (through links, if it is one).
bool OpenNamedFolder(const std::string& path, HeldFolder* folder, std::string* reason);

// Opens the entry `entry` of `parent` as a folder, not through a link,
// and checks that it is the folder listed. False with `reason` otherwise.
bool OpenEntryFolder(const HeldFolder& parent, const ListedEntry& entry, HeldFolder* folder,
                     std::string* reason);

// The entries of a held folder other than "." and "..", in no particular
// order, each looked at without following links. False with `reason`.
bool ListHeldFolder(const HeldFolder& folder, std::vector<ListedEntry>* entries,
                    std::string* reason);

// True when `folder` has an entry `name` that is a folder (not a link).
bool HoldsFolder(const HeldFolder& folder, const char* name);

// Opens the entry `entry` of `parent` for reading, not through a link and
// without waiting (a pipe swapped in stays unread), and checks that it is
// the regular file listed. Run by the superuser, the file is read only
// when its owner owns the folder too, or the folder is the superuser's: a
// hard link a user made in their folder to a file they could not read
// is refused. False with `reason` otherwise.
bool OpenEntryFile(const HeldFolder& parent, const ListedEntry& entry, InputFile* file,
                   std::string* reason);

// The identity of an open file and how many names it has. False when the
// system would not say (standard input, a pipe).
bool IdentifyInputFile(const InputFile& file, FileIdentity* identity, std::uint64_t* links);

// How many folders a walk may hold open at once: on POSIX systems a
// deep tree would use up the process's descriptors, so folders further up
// are let go and found again through "..", checked by OpenParentFolder;
// Windows has handles enough and no such way back, so all stay held.
std::size_t HeldFolderLimit();

// Opens the folder that holds `folder` through its ".." and checks that it
// is the one with `identity`, whose facts `parent` keeps: false with
// `reason` when it was moved meanwhile (or on Windows, always).
bool OpenParentFolder(const HeldFolder& folder, HeldFolder* parent, std::string* reason);

// Lets go of the folder (its identity and owner stay known).
void CloseHeldFolder(HeldFolder* folder);

#endif
