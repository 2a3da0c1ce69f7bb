// Walking the paths of a run: name order, what is skipped, what is
// unreadable, and a missing path stopping everything before it starts; and
// telling whether an output lies inside an input.
#include "platform/held_folder.h"
#include "platform/system.h"
#include "runner/inputs/input_reader.h"
#include "runner/inputs/mail_store_files.h"
#include "runner/inputs/message_walk.h"
#include "runner/inputs/parent_folder.h"
#include "runner/mailbox/message_size.h"
#include "runner/output/output_guard.h"
#include "standin/temp_files.h"
#include "tests/support/scratch_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#ifdef _WIN32
#include <windows.h>
#endif
#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

class MessageWalkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = UniqueTempPath(serial_++) + ".d";
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // Makes each of `relative`: a folder when it ends in '/', else a file.
    void Make(std::initializer_list<const char*> relative) {
        for (const std::string name : relative) {
            if (name.back() == '/') {
                Folder(name);
            } else {
                Touch(name);
            }
        }
    }

    // The root's path joined with `relative`, written with '/'.
    std::string At(const std::string& relative) const {
        return (fs::path(root_) / fs::path(relative).make_preferred()).string();
    }

    // The paths of `notes_` relative to the root, written with '/'.
    std::vector<std::string> Noted() const {
        std::vector<std::string> noted;
        for (const std::string& note : notes_) {
            const std::string path = note.substr(0, note.find(": "));
            noted.push_back(fs::path(path).lexically_relative(root_).generic_string());
        }
        return noted;
    }

    // Makes a file (and its folders) at a path relative to the root,
    // written with '/'.
    void Touch(const std::string& relative) {
        const fs::path path = fs::path(root_) / fs::path(relative).make_preferred();
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "Subject: x\n\nx\n";
    }
    void Folder(const std::string& relative) {
        fs::create_directories(fs::path(root_) / fs::path(relative).make_preferred());
    }

    // The listed paths relative to the root, written with '/'.
    std::vector<std::string> Listed(const std::vector<MessageSource>& messages) const {
        std::vector<std::string> relative;
        for (const MessageSource& message : messages) {
            std::string path =
                message.path == kStandardInputPath
                    ? message.path
                    : fs::path(message.path).lexically_relative(root_).generic_string();
            relative.push_back(message.unreadable.empty() ? path : path + " (unreadable)");
        }
        return relative;
    }

    // Every source of a walk over `paths`, its files closed again.
    std::vector<MessageSource> Walk(const std::vector<std::string>& paths) {
        MessageWalk walk(paths);
        std::string error;
        EXPECT_TRUE(walk.Start(&error)) << error;
        return Drain(&walk);
    }

    // The rest of a started walk's sources, their files closed.
    std::vector<MessageSource> Drain(MessageWalk* walk) {
        std::vector<MessageSource> messages;
        MessageSource source;
        while (walk->Next(&source, &notes_)) {
            CloseInputFile(&source.file);
            messages.push_back(source);
        }
        return messages;
    }

    // Empties the root for the next row of a table.
    void Clear() {
        fs::remove_all(root_);
        fs::create_directories(root_);
        notes_.clear();
    }

    static unsigned serial_;
    std::string root_;
    std::vector<std::string> notes_;
};

unsigned MessageWalkTest::serial_ = 1000;

TEST_F(MessageWalkTest, WalksDepthFirstInByteOrderOfNames) {
    Touch("b.eml");
    Touch("B.eml");
    Touch("D.eml");
    Touch("a/z.eml");
    Touch("a/m/1.eml");
    Touch("a.eml");
    Touch("c/2.eml");

    // Capitals sort first; a folder's name sorts before a longer name it
    // begins: "a" < "a.eml".
#ifdef _WIN32
    // Windows file names are not case-sensitive: "B.eml" is "b.eml" again,
    // one file, listed under the name it was first made with.
    const std::vector<std::string> expected = {"D.eml", "a/m/1.eml", "a/z.eml",
                                               "a.eml", "b.eml",     "c/2.eml"};
#else
    const std::vector<std::string> expected = {"B.eml", "D.eml", "a/m/1.eml", "a/z.eml",
                                               "a.eml", "b.eml", "c/2.eml"};
#endif
    EXPECT_EQ(Listed(Walk({root_})), expected);
}

// A Maildir's own dot-folders that are Maildirs (Maildir++) are walked;
// every other entry skipped for its name is noted.
TEST_F(MessageWalkTest, SkipsHiddenEntriesAndOnlyAMaildirsTmp) {
    Touch(".hidden.eml");
    Touch(".Sent/cur/1");
    Touch(".Sent/new/2");
    Touch("box/cur/1");
    Touch("box/new/2");
    Touch("box/tmp/3");
    Touch("box/.Sent/cur/4");
    Touch("box/.Sent/new/5");
    Touch("box/.Sent/tmp/6");
    Touch("box/.Trash/cur/7"); // no new/: not a Maildir
    Touch("plain/tmp/4");      // no cur/ and new/ beside it: an ordinary folder

    EXPECT_EQ(Listed(Walk({root_})),
              (std::vector<std::string>{"box/.Sent/cur/4", "box/.Sent/new/5", "box/cur/1",
                                        "box/new/2", "plain/tmp/4"}));
    std::vector<std::string> noted;
    for (const std::string& note : notes_) {
        const std::string path = note.substr(0, note.rfind(": skipped"));
        noted.push_back(fs::path(path).lexically_relative(root_).generic_string());
    }
    EXPECT_EQ(noted, (std::vector<std::string>{".Sent", ".hidden.eml", "box/.Sent/tmp",
                                               "box/.Trash", "box/tmp"}));
}

struct WalkCase {
    const char* what;
    std::initializer_list<const char*> made; // a trailing '/' makes a folder
    std::vector<std::string> listed;
    std::vector<std::string> noted;
};

const WalkCase kWalkCases[] = {
    {"a Maildir that lost its empty new/ is still one",
     {"box/cur/1", "box/tmp/", "box/README.txt"},
     {"box/cur/1"},
     {"box/README.txt", "box/tmp"}},
    {"a folder with only a new/ is an ordinary folder",
     {"export/new/a.eml", "export/b.eml"},
     {"export/b.eml", "export/new/a.eml"},
     {}},
    {"cur/ and tmp/ without new/, and so a Maildir++ folder",
     {"box/cur/", "box/new/1", "box/.Sent/cur/2", "box/.Sent/tmp/", "box/.Sent/maildirfolder",
      "box/.Sent/stray"},
     {"box/.Sent/cur/2", "box/new/1"},
     {"box/.Sent/maildirfolder", "box/.Sent/stray", "box/.Sent/tmp"}},
    {"a Maildir's own files and folders beside cur/ and new/",
     {"box/cur/1", "box/new/", "box/dovecot-uidlist", "box/dovecot.index.log",
      "box/courierimapkeywords/1", "box/subscriptions", "box/maildirsize", "box/archive/2"},
     {"box/cur/1"},
     {"box/archive", "box/courierimapkeywords", "box/dovecot-uidlist", "box/dovecot.index.log",
      "box/maildirsize", "box/subscriptions"}},
    {"a Maildir folder without a dot inside a Maildir (Dovecot's LAYOUT=fs)",
     {"box/cur/1", "box/new/", "box/Sent/cur/2", "box/Sent/tmp/"},
     {"box/Sent/cur/2", "box/cur/1"},
     {"box/Sent/tmp"}},
    {"mail programs' files outside a Maildir, any letter case",
     {"tb/Inbox", "tb/Inbox.msf", "tb/msgFilterRules.dat", "tb/POPSTATE.DAT", "tb/filterlog.html",
      "tb/panacea.dat", "tb/virtualFolders.dat", "tb/Thumbs.db", "tb/DESKTOP.INI", "tb/item.msg",
      "tb/old.pst", "tb/mail.zip", "tb/mail.tar", "tb/unpacked.zip/1.eml"},
     {"tb/Inbox", "tb/unpacked.zip/1.eml"},
     {"tb/DESKTOP.INI", "tb/Inbox.msf", "tb/POPSTATE.DAT", "tb/Thumbs.db", "tb/filterlog.html",
      "tb/item.msg", "tb/mail.tar", "tb/mail.zip", "tb/msgFilterRules.dat", "tb/old.pst",
      "tb/panacea.dat", "tb/virtualFolders.dat"}},
    {"a Mac mail client's mailbox and nmh's files",
     {"Mail/INBOX.mbox/Info.plist", "Mail/INBOX.mbox/Messages/1.emlx",
      "Mail/INBOX.mbox/Messages/2.partial.emlx", "Mail/SyncedRules.plist", "Mail/context",
      "Mail/inbox/1", "Mail/inbox/.mh_sequences"},
     {"Mail/INBOX.mbox/Messages/1.emlx", "Mail/INBOX.mbox/Messages/2.partial.emlx", "Mail/inbox/1"},
     {"Mail/INBOX.mbox/Info.plist", "Mail/SyncedRules.plist", "Mail/context",
      "Mail/inbox/.mh_sequences"}},
    {"an MH folder's deleted messages",
     {"mh/1", "mh/,2", "mh/,x", "mh/.mh_sequences"},
     {"mh/,x", "mh/1"},
     {"mh/,2", "mh/.mh_sequences"}},
};

TEST_F(MessageWalkTest, OnlyMailIsListedAndEverythingElseNoted) {
    for (const WalkCase& c : kWalkCases) {
        Clear();
        Make(c.made);
        EXPECT_EQ(Listed(Walk({root_})), c.listed) << c.what;
        EXPECT_EQ(Noted(), c.noted) << c.what;
    }
}

struct StoreNameCase {
    const char* name;
    bool folder;
    bool skipped;
};

const StoreNameCase kStoreNameCases[] = {
    {"dovecot.index.cache", false, true},
    {"dovecot-uidvalidity.5f3a1c2b", false, true},
    {"Dovecot-Keywords", false, true},
    {"courierimapkeywords", true, true},
    {"courierimapuiddb", false, true},
    {"maildirfolder", false, true},
    {"Inbox.MSF", false, true},
    {"Inbox.msf", true, false}, // a folder: only files go by extension
    {"Inbox", false, false},
    {"Inbox.sbd", true, false},
    {"archive.tar", false, true},
    {"backup.7z", false, true},
    {"gz", false, false}, // no dot: a name, not an extension
    {",12", false, true},
    {",12", true, false},
    {",", false, false},
    {",1a", false, false},
    {"1733639411.M1P2.mail.example.org,S=1234:2,S", false, false},
    {"subscriptions.eml", false, false},
    // A Mac mail client's store: .emlx messages among property lists.
    {"Info.plist", false, true},
    {"SyncedRules.plist", false, true},
    {".mboxCache.plist", false, true},
    {"12345.emlx", false, false},
    {"12345.partial.emlx", false, false},
    {"12345.2.emlxpart", false, true},
    {"Envelope Index-wal", false, true},
    // MH and nmh, and the programs that read MH folders.
    {"context", false, true},
    {"context", true, false}, // a folder so named may hold mail
    {".mh_sequences", false, true},
    {".xmhcache", false, true},
    {".claws_cache", false, true},
    {".sylpheed_mark", false, true},
    // Eudora and Outlook Express.
    {"In.toc", false, true},
    {"Inbox.dbx", false, true},
    // Compressed mailboxes are judged by their bytes, not skipped by name.
    {"inbox.bz2", false, false},
    {"mail.tar.gz", false, false},
};

TEST(MailStoreFileNote, KnowsMailProgramsFilesByName) {
    for (const StoreNameCase& c : kStoreNameCases) {
        EXPECT_EQ(MailStoreFileNote(c.name, c.folder) != nullptr, c.skipped)
            << c.name << (c.folder ? " (folder)" : "");
    }
}

struct RepeatCase {
    const char* what;
    std::vector<std::string> named; // relative to the root; "-" standard input
    std::vector<std::string> listed;
    std::vector<std::string> noted;
};

const RepeatCase kRepeatCases[] = {
    {"the same file twice", {"d/x.eml", "d/x.eml"}, {"d/x.eml"}, {"d/x.eml"}},
    {"a file inside a folder named before it",
     {"d", "d/y.eml"},
     {"d/x.eml", "d/y.eml"},
     {"d/y.eml"}},
    {"a folder holding a file named before it", {"d/y.eml", "d"}, {"d/y.eml", "d/x.eml"}, {"d"}},
    {"one folder under two names", {"d", "d/../d/"}, {"d/x.eml", "d/y.eml"}, {"d/../d/"}},
    {"standard input twice", {"-", "d/x.eml", "-"}, {"-", "d/x.eml"}, {"-"}},
    {"different files", {"d/y.eml", "d/x.eml"}, {"d/y.eml", "d/x.eml"}, {}},
};

TEST_F(MessageWalkTest, AnInputGivenTwiceIsListedOnceWhereItComesFirst) {
    Make({"d/x.eml", "d/y.eml"});
    for (const RepeatCase& c : kRepeatCases) {
        notes_.clear();
        std::vector<std::string> named;
        for (const std::string& path : c.named) {
            named.push_back(path == kStandardInputPath ? path : At(path));
        }
        EXPECT_EQ(Listed(Walk(named)), c.listed) << c.what;
        std::vector<std::string> noted;
        for (const std::string& note : notes_) {
            noted.push_back(note.substr(0, note.find(": ")));
        }
        std::vector<std::string> expected;
        for (const std::string& path : c.noted) {
            expected.push_back(path == kStandardInputPath ? path : At(path));
        }
        EXPECT_EQ(noted, expected) << c.what;
    }
}

#ifdef _WIN32
TEST_F(MessageWalkTest, AFileNamedTwiceInAnotherLetterCaseIsListedOnce) {
    Make({"d/x.eml"});
    EXPECT_EQ(Listed(Walk({At("d/x.eml"), At("D/X.EML")})), (std::vector<std::string>{"d/x.eml"}));
}
#endif

TEST_F(MessageWalkTest, NamedPathsComeInTheGivenOrderWhateverTheirNames) {
    Touch("z.eml");
    Touch(".hidden.eml");
    Touch("d/a.eml");
    const std::string z = JoinPath(root_, "z.eml");
    const std::string hidden = JoinPath(root_, ".hidden.eml");
    const std::string folder = JoinPath(root_, "d");

    EXPECT_EQ(Listed(Walk({z, folder, hidden})),
              (std::vector<std::string>{"z.eml", "d/a.eml", ".hidden.eml"}));
}

TEST_F(MessageWalkTest, AMissingPathListsNothing) {
    Touch("a.eml");
    std::string error;
    const std::string missing = JoinPath(root_, "missing");
    MessageWalk walk({root_, missing});

    EXPECT_FALSE(walk.Start(&error));

    EXPECT_EQ(error, "no such file or folder: " + missing);
}

TEST_F(MessageWalkTest, AnEmptyFolderListsNothingAndIsNoError) {
    Folder("empty");
    EXPECT_TRUE(Walk({JoinPath(root_, "empty")}).empty());
}

// Each file runs once, however many names lead to it: hard links in one
// folder, and a file named after the folder that held it.
TEST_F(MessageWalkTest, AFileWithManyNamesRunsOnce) {
    Touch("d/a.eml");
    Touch("d/b.eml");
    fs::create_hard_link(fs::path(At("d/a.eml")), fs::path(At("d/c.eml")));
    EXPECT_EQ(Listed(Walk({At("d")})), (std::vector<std::string>{"d/a.eml", "d/b.eml"}));
    EXPECT_EQ(notes_, (std::vector<std::string>{At("d") + ": 1 file run already under another "
                                                          "name, run once"}));
    notes_.clear();
    EXPECT_EQ(Listed(Walk({At("d"), At("d/c.eml")})),
              (std::vector<std::string>{"d/a.eml", "d/b.eml"}));
}

#ifdef _WIN32
// Windows: a symbolic link or junction inside a walked folder is a reparse
// point, skipped and never followed.
TEST_F(MessageWalkTest, ReparsePointsInWalkedFoldersAreSkipped) {
    Touch("real/a.eml");
    Touch("outside/secret.eml");
    // Looked up: Windows XP's kernel32 has no CreateSymbolicLinkW.
    using MakeLinkFn = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
    const auto makeLink = reinterpret_cast<MakeLinkFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
    const DWORD folderLink = 1; // SYMBOLIC_LINK_FLAG_DIRECTORY
    if (makeLink == nullptr || !makeLink(fs::path(At("real/linked")).wstring().c_str(),
                                         fs::path(At("outside")).wstring().c_str(), folderLink)) {
        GTEST_SKIP() << "this system makes no symbolic links here (error " << GetLastError() << ")";
    }
    if (GetFileAttributesW(fs::path(At("real/linked")).wstring().c_str()) ==
        INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "the system said it made the link but made none (Wine does so)";
    }
    EXPECT_EQ(Listed(Walk({At("real")})), (std::vector<std::string>{"real/a.eml"}));
    EXPECT_EQ(Noted(), (std::vector<std::string>{"real/linked"}));
    // Opened by name as a walk opens entries (one listed as a folder and
    // swapped for a link), it is refused, not followed.
    HeldFolder real;
    std::string reason;
    ASSERT_TRUE(OpenNamedFolder(At("real"), &real, &reason)) << reason;
    ListedEntry linked;
    linked.name = "linked";
    linked.kind = PathKind::kFolder;
    HeldFolder opened;
    EXPECT_FALSE(OpenEntryFolder(real, linked, &opened, &reason));
    EXPECT_NE(reason.find("link"), std::string::npos) << reason;
    CloseHeldFolder(&real);
}
#endif

#ifndef _WIN32
// Inside a walked folder no link is followed, whatever it points to; a
// link named on the command line is the admin's choice and is read.
TEST_F(MessageWalkTest, LinksInWalkedFoldersAreSkippedLinksNamedAreRead) {
    Touch("real/a.eml");
    Touch("outside/secret.eml");
    fs::create_symlink(fs::path(root_) / "outside" / "secret.eml", fs::path(root_) / "real" / "s");
    fs::create_directory_symlink(fs::path(root_), fs::path(root_) / "real" / "loop");
    fs::create_symlink(fs::path(root_) / "gone.eml", fs::path(root_) / "real" / "dangling.eml");

    EXPECT_EQ(Listed(Walk({At("real")})), (std::vector<std::string>{"real/a.eml"}));
    EXPECT_EQ(Noted(), (std::vector<std::string>{"real/dangling.eml", "real/loop", "real/s"}));
    for (const std::string& note : notes_) {
        EXPECT_NE(note.find(": skipped, a link, not followed"), std::string::npos) << note;
    }
    notes_.clear();
    EXPECT_EQ(Listed(Walk({At("real/s"), At("real/loop/real/a.eml")})),
              (std::vector<std::string>{"real/s", "real/loop/real/a.eml"}));
}

// The walk streams: a folder is listed only when the walk comes to it, so
// the first message is there before the rest of the tree is read.
TEST_F(MessageWalkTest, AFolderIsListedWhenTheWalkComesToIt) {
    Touch("a/1.eml");
    Folder("b");
    MessageWalk walk({root_});
    std::string error;
    ASSERT_TRUE(walk.Start(&error)) << error;
    MessageSource first;
    ASSERT_TRUE(walk.Next(&first, &notes_));
    CloseInputFile(&first.file);
    EXPECT_EQ(Listed({first}), (std::vector<std::string>{"a/1.eml"}));
    Touch("b/2.eml"); // made after the first message came
    EXPECT_EQ(Listed(Drain(&walk)), (std::vector<std::string>{"b/2.eml"}));
}

#ifndef _WIN32
// How many files this process holds open.
std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Every input read is closed again, whether the walk found it in a folder
// or it was named, a message file or a mailbox: a run over a large store
// would otherwise run out of descriptors.
TEST_F(MessageWalkTest, EveryInputReadIsClosedAgain) {
    if (!fs::exists("/proc/self/fd")) {
        GTEST_SKIP() << "no /proc/self/fd to count open files in";
    }
    Make({"a.eml", "b.eml", "c.eml"});
    std::ofstream(At("d.mbox")) << "From a@b Tue Dec  8 10:00:00 2026\nSubject: x\n\nx\n"
                                   "From a@b Tue Dec  8 10:01:00 2026\nSubject: y\n\ny\n";
    const std::vector<std::string> rows[] = {{root_}, {At("a.eml"), At("b.eml"), At("d.mbox")}};
    for (const std::vector<std::string>& paths : rows) {
        SCOPED_TRACE(paths.front());
        const std::size_t before = OpenDescriptors();
        std::size_t messages = 0;
        {
            MessageWalk walk(paths);
            std::string error;
            ASSERT_TRUE(walk.Start(&error)) << error;
            InputReader reader(&walk, kDefaultMaxMessageSize);
            InputMessage item;
            while (reader.Next(&item)) {
                messages += item.kind == InputItemKind::kMessage ? 1 : 0;
            }
        }
        EXPECT_GE(messages, 4u);
        EXPECT_EQ(OpenDescriptors(), before);
    }
}
#endif

// Deeper than the folders a walk holds open at once: the folders let go
// are found again on the way back, and a folder moved meanwhile is not
// walked further, said so.
TEST_F(MessageWalkTest, ATreeDeeperThanTheFoldersHeldIsWalkedWhole) {
    const std::size_t depth = std::min<std::size_t>(HeldFolderLimit() + 8, 200);
    std::string deep = "a";
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < depth; ++i) {
        deep += "/d";
    }
    Touch(deep + "/m.eml");
    expected.push_back(deep + "/m.eml");
    for (std::string at = deep; at.size() > 1; at.resize(at.rfind('/'))) {
        Touch(at + "/z.eml");
        expected.push_back(at + "/z.eml");
    }
    Touch("z.eml");
    expected.push_back("z.eml");
    EXPECT_EQ(Listed(Walk({root_})), expected);

    notes_.clear();
    MessageWalk walk({root_});
    std::string error;
    ASSERT_TRUE(walk.Start(&error)) << error;
    MessageSource first;
    ASSERT_TRUE(walk.Next(&first, &notes_));
    CloseInputFile(&first.file);
    Folder("other");
    fs::rename(fs::path(At("a/d/d")), fs::path(At("other/d")));
    bool refused = false;
    for (const MessageSource& source : Drain(&walk)) {
        EXPECT_EQ(source.path.find(At("a/d/z.eml")), std::string::npos) << source.path;
        if (source.path == At("a/d")) {
            refused = true;
            EXPECT_NE(source.unreadable.find("moved"), std::string::npos) << source.unreadable;
        }
    }
    EXPECT_TRUE(refused);
}

struct SwapCase {
    const char* what;
    const char* swapped; // the entry replaced after its folder was listed
    const char* with;    // "link-folder", "link-file", "file", "pipe"
    const char* reason;  // a part of the unreadable reason
};

const SwapCase kSwapCases[] = {
    {"a folder swapped for a link to another", "z", "link-folder", "link"},
    {"a file swapped for a link to a secret", "y.eml", "link-file", "link"},
    {"a file swapped for another file", "y.eml", "file", "replaced"},
    {"a file swapped for a pipe", "y.eml", "pipe", "not a regular file"},
};

// A user who swaps an entry after the listing, before the open, gets it
// refused: nothing outside is read, and no pipe or device is waited on.
TEST_F(MessageWalkTest, AnEntrySwappedBetweenListingAndOpeningIsUnreadable) {
    for (const SwapCase& c : kSwapCases) {
        Clear();
        Make({"d/a.eml", "d/y.eml", "d/z/1.eml", "outside/secret.eml"});
        MessageWalk walk({At("d")});
        std::string error;
        ASSERT_TRUE(walk.Start(&error)) << error;
        MessageSource first;
        ASSERT_TRUE(walk.Next(&first, &notes_)) << c.what; // d is listed now
        CloseInputFile(&first.file);
        const fs::path target = fs::path(At("d")) / c.swapped;
        fs::rename(target, fs::path(At("old")));
        const std::string with = c.with;
        if (with == "link-folder") {
            fs::create_directory_symlink(fs::path(At("outside")), target);
        } else if (with == "link-file") {
            fs::create_symlink(fs::path(At("outside/secret.eml")), target);
        } else if (with == "file") {
            Touch(std::string("d/") + c.swapped);
        } else {
            ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
        }
        bool found = false;
        for (const MessageSource& source : Drain(&walk)) {
            EXPECT_EQ(source.path.find("secret"), std::string::npos) << c.what;
            if (source.path == target.string()) {
                found = true;
                EXPECT_NE(source.unreadable.find(c.reason), std::string::npos)
                    << c.what << ": " << source.unreadable;
            }
        }
        EXPECT_TRUE(found) << c.what;
    }
}

// Run as the superuser, a file is read only when it belongs to its
// folder's owner or its folder is the superuser's: a user's hard link to
// a file of root's is refused, root's own folders (/var/mail) still read.
TEST_F(MessageWalkTest, AsTheSuperuserAFileOfAnotherOwnerInAUsersFolderIsRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs the superuser, to give files to the user nobody";
    }
    const struct passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    Make({"user/own.eml", "user/root.eml", "spool/user.eml", "spool/root.eml"});
    ASSERT_EQ(chown(At("user").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chown(At("user/own.eml").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chown(At("spool/user.eml").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_EQ(Listed(Walk({root_})),
              (std::vector<std::string>{"spool/root.eml", "spool/user.eml", "user/own.eml",
                                        "user/root.eml (unreadable)"}));
}
#endif

// An output inside a folder that is read; a name that merely begins like
// the folder's is not inside it.
TEST(SameOrInside, ComparesWholePathComponents) {
    EXPECT_TRUE(SameOrInside("/srv/mail", "/srv/mail", '/'));
    EXPECT_TRUE(SameOrInside("/srv/mail/x.eml", "/srv/mail", '/'));
    EXPECT_TRUE(SameOrInside("/x.eml", "/", '/'));
    EXPECT_FALSE(SameOrInside("/srv/mailbox", "/srv/mail", '/'));
    EXPECT_FALSE(SameOrInside("/srv", "/srv/mail", '/'));
}

struct SaveFolderCase {
    const char* saveFolder; // relative to the root
    std::vector<std::string> inputs;
    const char* refusal; // a part of the error, or null when allowed
};

const SaveFolderCase kSaveFolderCases[] = {
    {"box/new", {"box/cur"}, "lies inside the Maildir "},
    {"box", {"msgs/a.eml"}, " is a Maildir;"},
    {"box/.Sent/saved/deeper", {"msgs"}, "lies inside the Maildir "},
    {"half/new/saved", {"msgs/a.eml"}, "lies inside the Maildir "}, // cur/ and tmp/ only
    {"msgs", {"msgs/a.eml"}, "is the folder that holds "},
    {"msgs", {"box", "msgs/a.eml"}, "is the folder that holds "},
    {".", {"box"}, "is the folder that holds "},
    {"msgs/saved/deeper", {"msgs"}, "lies inside the folder "},
    {"msgs/a.eml", {"box"}, "is an existing file"},
    {"msgs/saved", {"msgs/a.eml"}, nullptr}, // beside the message's folder, not it
    {"saved/deeper", {"msgs/a.eml", "box", "-"}, nullptr},
    {"half", {"msgs"}, " is a Maildir;"},
    {"export/new", {"msgs"}, nullptr}, // one Maildir name alone makes no Maildir
};

TEST_F(MessageWalkTest, SavedReplacementsStayOutOfMaildirsAndInputFolders) {
    Make({"box/cur/1", "box/new/", "box/tmp/", "box/.Sent/cur/", "box/.Sent/new/", "half/cur/",
          "half/tmp/", "msgs/a.eml", "export/new/"});
    for (const SaveFolderCase& c : kSaveFolderCases) {
        std::vector<std::string> inputs;
        for (const std::string& input : c.inputs) {
            inputs.push_back(input == kStandardInputPath ? input : At(input));
        }
        std::string error;
        const bool allowed = OutputsSpareInputs(inputs, std::string(), At(c.saveFolder), &error);
        EXPECT_EQ(allowed, c.refusal == nullptr) << c.saveFolder << ": " << error;
        if (c.refusal != nullptr) {
            EXPECT_EQ(error.rfind("--save-to " + At(c.saveFolder), 0), 0u) << error;
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        }
    }
}

#ifndef _WIN32
// A save folder whose parents are missing behind a link: PathKey alone
// cannot follow the link through names that do not exist yet.
TEST_F(MessageWalkTest, ASaveFolderToBeMadeInsideAnInputBehindALinkIsRefused) {
    Make({"in/a.eml"});
    fs::create_directory_symlink(fs::path(root_) / "in", fs::path(root_) / "link");
    std::string error;
    EXPECT_FALSE(OutputsSpareInputs({At("in")}, std::string(), At("link/new/deeper"), &error));
    EXPECT_NE(error.find("lies inside the folder "), std::string::npos) << error;
}
#endif

struct ParentCase {
    const char* path;
    const char* parent;
};

const ParentCase kParentCases[] = {
    {"a/b/c", "a/b"},  {"a//b/", "a"}, {"a", ""},     {"a/", ""},         {"/x", "/"},
    {"/", ""},         {"", ""},       {"a/..", "a"},
#ifdef _WIN32
    {"C:\\x", "C:\\"}, {"C:\\", ""},   {"C:x", "C:"}, {"a\\b/c", "a\\b"}, {"\\x", "\\"},
#endif
};

TEST(ParentFolder, ThePathLessItsLastComponent) {
    for (const ParentCase& c : kParentCases) {
        EXPECT_EQ(ParentFolder(c.path), c.parent) << c.path;
    }
}

} // namespace
