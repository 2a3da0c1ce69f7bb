// The files mail programs keep beside the mail in their stores: indexes,
// lists, settings, and the exports and archives admins leave there. A
// walk skips them by name, with a note, rather than run them as messages.
#ifndef VELMORA_RUNNER_INPUTS_MAIL_STORE_FILES_H
#define VELMORA_RUNNER_INPUTS_MAIL_STORE_FILES_H

#include <string>

// Why an entry named `name` met in a walk is not mail ("Dovecot's index
// or list of the folder"), or null when its name says nothing. Names are
// compared without regard to letter case (stores are copied to and from
// Windows). Extensions (".msf", ".pst", ".zip") count for files only: a
// folder named "2026.zip" may well hold mail unpacked from one.
const char* MailStoreFileNote(const std::string& name, bool folder);

#endif
