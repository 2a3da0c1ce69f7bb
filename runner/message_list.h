// The messages a run covers: the files named on the command line and the
// files found by walking the folders named there.
#ifndef VELMORA_RUNNER_MESSAGE_LIST_H
#define VELMORA_RUNNER_MESSAGE_LIST_H

#include <string>
#include <vector>

struct MessageSource {
    std::string path;
    // Why the file cannot be read, when that is known before reading it
    // (a broken link, a pipe, a folder that cannot be listed); else empty.
    std::string unreadable;
};

// Walks `paths` in the order given ("-" is standard input). Folders are
// walked recursively, each folder's entries in byte order of their names,
// so that runs repeat. A folder with at least two of cur/, new/ and tmp/
// is a Maildir (see maildir_layout.h): of it only cur/ and new/ are
// walked, and its folders that are Maildirs themselves (Maildir++: .Sent,
// .Archive); its tmp/ and everything else in it are skipped. Skipped too:
// other names starting with a dot (and, on Windows, entries with the
// hidden or system attribute), the files mail programs keep beside mail
// (see mail_store_files.h), and links to folders. A path named directly
// is taken whatever its name. `notes` gets a line for each entry skipped
// and each link not followed.
//
// A file listed under several named paths (the same file named twice, a
// file inside a folder also named; compared by PathKey) is listed once,
// where it comes first, with a note on the path that repeated it.
//
// False, with `error` set and nothing listed, when a named path does not
// exist: better to stop before any job runs than after half of them.
bool ListMessages(const std::vector<std::string>& paths, std::vector<MessageSource>* messages,
                  std::vector<std::string>* notes, std::string* error);

#endif
