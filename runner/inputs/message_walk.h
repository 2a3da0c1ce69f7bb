// The messages a run covers: the files named on the command line and the
// files found by walking the folders named there, found one at a time as
// the run goes.
#ifndef VELMORA_RUNNER_INPUTS_MESSAGE_WALK_H
#define VELMORA_RUNNER_INPUTS_MESSAGE_WALK_H

#include "platform/held_folder.h"
#include "platform/system.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

struct MessageSource {
    std::string path;
    // Why the file cannot be read, when that is known before reading it
    // (a pipe, a file replaced while the walk looked, a folder that cannot
    // be listed); else empty.
    std::string unreadable;
    // The file, already open when the walk found it (standard input is
    // opened by the reader); handle -1 otherwise. Its reader closes it.
    InputFile file;
};

// Walks `paths` in the order given ("-" is standard input). Folders are
// walked depth first, each folder's entries in byte order of their names,
// so that runs repeat. A folder is listed when the walk comes to it, and
// its listing kept only until its entries are done, so that the first
// message runs at once and memory follows the largest folder (and the
// folders above it), not the tree: besides, only the identities of the
// folders walked and of files that may be met again are kept. A folder with at least two of cur/,
// new/ and tmp/ is a Maildir (see maildir_layout.h): of it only cur/ and new/ are walked, and its
// folders that are Maildirs themselves (Maildir++: .Sent, .Archive); its tmp/ and everything else
// in it are skipped. Skipped too: other names starting with a dot (and, on Windows, entries with
// the hidden or system attribute), the files mail programs keep beside mail (see
// mail_store_files.h), and links (junctions and other reparse points on Windows): inside a walked
// folder nothing is followed, and every file and folder is opened by descriptor relative to the
// folder that listed it (see held_folder.h). A path named directly is taken whatever its name, and
// may be a link. Notes tell of each entry skipped.
//
// Each file is run once however many names lead to it (named twice, a
// file inside a folder also named, hard links), where it comes first; the
// named path that repeated it gets a note.
class MessageWalk {
  public:
    explicit MessageWalk(std::vector<std::string> paths);
    ~MessageWalk();
    MessageWalk(const MessageWalk&) = delete;
    MessageWalk& operator=(const MessageWalk&) = delete;

    // Looks at every named path before any job runs: false, with `error`
    // set, when one does not exist (better to stop before any job runs
    // than after half of them).
    bool Start(std::string* error);

    // The next message source, with the notes gathered on the way to it
    // added to `notes`. False when the walk is done (`notes` may still
    // have got its last notes), or was not started.
    bool Next(MessageSource* source, std::vector<std::string>* notes);

    // True when the run names one path and that is no folder.
    bool NamesOneFile() const;

  private:
    struct Level {
        HeldFolder folder;
        std::string path;
        std::vector<ListedEntry> entries; // sorted; those before `next` are done
        std::size_t next = 0;
        bool maildir = false;
    };

    // What became of a folder the walk meant to enter.
    enum class Entered {
        kWalking,    // listed: its entries come next
        kGave,       // it could not be opened or listed: a source, unreadable
        kSkipped,    // walked already under another name, noted
        kNotMaildir, // not the Maildir it needed to be; nothing noted
    };

    bool StartNamed(MessageSource* source, std::vector<std::string>* notes);
    bool TakeEntry(MessageSource* source, std::vector<std::string>* notes);
    Entered Enter(const HeldFolder& folder, const std::string& path, MessageSource* source,
                  std::vector<std::string>* notes);
    Entered EnterEntry(const ListedEntry& entry, const std::string& path, bool needMaildir,
                       MessageSource* source, std::vector<std::string>* notes);
    bool Leave(MessageSource* source);
    bool Seen(const FileIdentity& identity, std::uint64_t links);
    void EndNamed(std::vector<std::string>* notes);

    std::vector<std::string> paths_;
    std::vector<PathKind> kinds_;
    std::vector<std::string> reasons_;
    std::size_t named_ = 0;   // the named path to walk next
    bool inNamed_ = false;    // a named folder is being walked
    std::size_t repeats_ = 0; // files of the current named path run already
    bool standardInputSeen_ = false;
    std::vector<Level> levels_;      // the folders being walked, outermost first
    std::set<FileIdentity> files_;   // files run, when another name may lead to them
    std::set<FileIdentity> folders_; // folders walked
};

#endif
