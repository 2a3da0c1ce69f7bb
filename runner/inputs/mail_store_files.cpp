// Mail programs' own files by name; see mail_store_files.h.
#include "runner/inputs/mail_store_files.h"

#include "platform/ascii_text.h"

#include <cstring>

namespace {

enum class NameMatch {
    kWhole,     // the whole name
    kWholeFile, // the whole name, for files only: a folder so named may hold mail
    kPrefix,    // the name's start
    kExtension, // the name's end, for files only
};

struct StoreFile {
    const char* pattern;
    NameMatch match;
    const char* note;
};

// Run as messages these would count as mail the module turned down, and
// an admin would read that as the module missing mail. A walk skips
// dot-files (.mh_sequences, .DS_Store) for their dot already; their rows
// here say what they are.
constexpr StoreFile kStoreFiles[] = {
    // Dovecot: dovecot-uidlist, dovecot-keywords, dovecot-uidvalidity.*,
    // dovecot.index*, dovecot.list.index*, dovecot-acl.
    {"dovecot-", NameMatch::kPrefix, "Dovecot's own list of the folder"},
    {"dovecot.", NameMatch::kPrefix, "Dovecot's index of the folder"},
    {"subscriptions", NameMatch::kWhole, "the mail server's list of subscribed folders"},
    {"maildirsize", NameMatch::kWhole, "a Maildir's quota count"},
    {"maildirfolder", NameMatch::kWhole, "the mark of a Maildir++ folder"},
    // Courier: courierimapuiddb, courierimapkeywords/, courierimapacl,
    // courierimaphieracl/, courierpop3dsizelist.
    {"courierimap", NameMatch::kPrefix, "Courier's own list of the folder"},
    {"courierpop3d", NameMatch::kPrefix, "Courier's own list of the folder"},
    // Thunderbird, beside its mbox files.
    {".msf", NameMatch::kExtension, "Thunderbird's index of a mailbox"},
    {"msgFilterRules.dat", NameMatch::kWhole, "Thunderbird's filter rules"},
    {"popstate.dat", NameMatch::kWhole, "Thunderbird's record of POP downloads"},
    {"filterlog.html", NameMatch::kWhole, "Thunderbird's filter log"},
    {"junklog.html", NameMatch::kWhole, "Thunderbird's junk log"},
    {"panacea.dat", NameMatch::kWhole, "Thunderbird's folder cache"},
    {"virtualFolders.dat", NameMatch::kWhole, "Thunderbird's saved searches"},
    {"mailViews.dat", NameMatch::kWhole, "Thunderbird's mail views"},
    // Windows Explorer's, in any folder it has shown.
    {"Thumbs.db", NameMatch::kWhole, "Windows' picture cache"},
    {"desktop.ini", NameMatch::kWhole, "Windows' folder settings"},
    // Outlook's items and stores: binary, not Internet mail.
    {".msg", NameMatch::kExtension, "an Outlook item, not Internet mail"},
    {".pst", NameMatch::kExtension, "an Outlook data file"},
    {".ost", NameMatch::kExtension, "an Outlook data file"},
    // Archives: the mail inside is run once unpacked.
    {".zip", NameMatch::kExtension, "an archive; unpack it to run the mail in it"},
    {".7z", NameMatch::kExtension, "an archive; unpack it to run the mail in it"},
    {".rar", NameMatch::kExtension, "an archive; unpack it to run the mail in it"},
    {".tar", NameMatch::kExtension, "an archive; unpack it to run the mail in it"},
    // Compressed files are not skipped by name: their bytes tell, and they
    // count as not-mail ("compressed (bzip2): unpack it first") whatever
    // they are called.
    //
    // A Mac mail client's store: its .emlx messages are read, and beside
    // them property lists (Info.plist, SyncedRules.plist, .mboxCache.plist),
    // attachments kept apart and its database of envelopes.
    {".plist", NameMatch::kExtension, "a Mac mail client's settings (a property list)"},
    {".emlxpart", NameMatch::kExtension, "a part of an .emlx message kept apart (an attachment)"},
    {"Envelope Index", NameMatch::kPrefix, "a Mac mail client's database of envelopes"},
    // MH and nmh: the profile's context and the folders' sequences and
    // caches look like header fields ("Current-Folder: inbox").
    {"context", NameMatch::kWholeFile, "nmh's context (the current folder), not a message"},
    {".mh_sequences", NameMatch::kWhole, "an MH folder's list of sequences"},
    {".mh_profile", NameMatch::kWhole, "an MH user's profile"},
    {".xmhcache", NameMatch::kWhole, "xmh's list of an MH folder"},
    {".folders", NameMatch::kWhole, "nmh's list of folders"},
    // Claws Mail and Sylpheed, in each MH folder they keep.
    {".claws_", NameMatch::kPrefix, "Claws Mail's cache or marks of the folder"},
    {".sylpheed_", NameMatch::kPrefix, "Sylpheed's cache or marks of the folder"},
    // Eudora and Outlook Express, beside their mailboxes.
    {".toc", NameMatch::kExtension, "Eudora's table of contents of a mailbox"},
    {"descmap.pce", NameMatch::kWhole, "Eudora's list of mailboxes"},
    {".dbx", NameMatch::kExtension,
     "an Outlook Express folder file, not Internet mail; export it as .eml files"},
};

// MH marks a deleted message by renaming "N" to ",N".
constexpr char kMhDeletedMark = ',';
constexpr const char* kDigits = "0123456789";
constexpr const char* kMhDeletedNote = "a message deleted in an MH folder";

bool Matches(const StoreFile& row, const std::string& name, bool folder) {
    const std::size_t length = std::strlen(row.pattern);
    if (name.size() < length) {
        return false;
    }
    switch (row.match) {
    case NameMatch::kWhole:
        return name.size() == length && EqualsIgnoringCase(name.data(), row.pattern, length);
    case NameMatch::kWholeFile:
        return !folder && name.size() == length &&
               EqualsIgnoringCase(name.data(), row.pattern, length);
    case NameMatch::kPrefix:
        return EqualsIgnoringCase(name.data(), row.pattern, length);
    case NameMatch::kExtension:
        // The extension alone is no file name.
        return !folder && name.size() > length &&
               EqualsIgnoringCase(name.data() + name.size() - length, row.pattern, length);
    }
    return false;
}

bool IsMhDeleted(const std::string& name) {
    if (name.empty() || name.front() != kMhDeletedMark) {
        return false;
    }
    const std::string number = name.substr(1);
    return !number.empty() && number.find_first_not_of(kDigits) == std::string::npos;
}

} // namespace

const char* MailStoreFileNote(const std::string& name, bool folder) {
    if (!folder && IsMhDeleted(name)) {
        return kMhDeletedNote;
    }
    for (const StoreFile& row : kStoreFiles) {
        if (Matches(row, name, folder)) {
            return row.note;
        }
    }
    return nullptr;
}
