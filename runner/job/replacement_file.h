// Saving a replacement message as a file, for the admin to look at.
#ifndef VELMORA_RUNNER_JOB_REPLACEMENT_FILE_H
#define VELMORA_RUNNER_JOB_REPLACEMENT_FILE_H

#include <string>

// The name to try for the `attempt`-th time (from 0) for a copy of the
// message in `sourcePath`: its own name first, then with -1, -2, ...
// before a short extension such as ".eml", or at the end. A Maildir
// name's info (":2,S"; "!2,S" and ";2,S" from Windows) and size fields
// (",S=1234", ",W=1260") are left out: the copy is neither read nor of
// that size. Control bytes and characters (C0, DEL, C1), path separators,
// '%' and, on Windows, the characters Windows forbids in names are
// written as '%' and their hex value ("a%0Ab.eml" for a newline), so that
// names stay distinct and readable.
std::string ReplacementFileName(const std::string& sourcePath, unsigned attempt);

// The name a replacement of the `number`-th message (from 1) of the mailbox
// at `mailboxPath` is saved under: the mailbox's name without a short
// extension, "-", the number and ".eml" ("Inbox-3.eml"). Standard input
// ("-") is called "stdin". A message file from standard input is
// "stdin.eml" (number 0).
std::string MailboxMessageName(const std::string& mailboxPath, std::size_t number);

// The source name a replacement is saved after: a message file's own
// path; for the `number`-th message of a mailbox, or a message on standard
// input (number 0), the name MailboxMessageName gives.
std::string SaveNameFor(const std::string& path, std::size_t number);

// The replacement `message` as a receiving server stores what it delivers:
// a "Return-Path:" line with the job's `envelopeSender` on top (in angle
// brackets, line breaks in it dropped), then the message. The file then
// tells under which sender the replacement goes out, and a later run over
// it takes that sender, as the server would for the job it was: an
// ordinary job, not an automatic reply to re-send again.
std::string DeliveredReplacement(const std::string& envelopeSender, const std::string& message);

// Writes `content` to a new file in `folder` named after `sourcePath`,
// never replacing a file that is there. True with `written` set to its
// path; false with `reason` set.
bool SaveReplacement(const std::string& folder, const std::string& sourcePath,
                     const std::string& content, std::string* written, std::string* reason);

// Makes the folder for replacements, and the folders above it that are
// missing, unless it is there already: walked from the root and made one
// by one from the folder above, each private to the user (see
// trusted_path.h). False with `reason` set if the way fails the trust
// rule, one cannot be made (naming it) or something else is in the way.
bool MakeFolder(const std::string& path, std::string* reason);

#endif
