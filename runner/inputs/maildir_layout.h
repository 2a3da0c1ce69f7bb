// Telling a Maildir by its folders, the same way for walking the inputs
// and for keeping saved replacements out of one.
#ifndef VELMORA_RUNNER_INPUTS_MAILDIR_LAYOUT_H
#define VELMORA_RUNNER_INPUTS_MAILDIR_LAYOUT_H

#include "platform/held_folder.h"
#include "platform/system.h"

#include <string>
#include <vector>

// A Maildir's folders: delivered mail in new/, mail seen by a reader in
// cur/, deliveries still being written in tmp/.
constexpr const char* kMaildirCur = "cur";
constexpr const char* kMaildirNew = "new";
constexpr const char* kMaildirTmp = "tmp";

// True when a folder holding `entries` is a Maildir: at least two of cur/,
// new/ and tmp/ are folders in it (links are not followed by the walk, so
// they make no Maildir). Two, not all three: backups and zips drop empty
// folders, and an export folder that merely has a subfolder named "new"
// is no Maildir.
bool IsMaildir(const std::vector<ListedEntry>& entries);

// True when the held folder is a Maildir by the same rule, looking at the
// three names only (a Maildir's cur/ may hold many thousand files).
bool IsMaildirIn(const HeldFolder& folder);

// True when the folder at `path` is a Maildir, looking at the three names
// (following links: for keeping outputs out of Maildirs, where a link to
// one counts as one).
bool IsMaildirAt(const std::string& path);

#endif
