// Saving replacements: names after the source, and never over a file that
// is already there.
#include "platform/system.h"
#include "runner/job/replacement_file.h"
#include "standin/temp_files.h"
#include "tests/support/scratch_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

struct NameCase {
    const char* source;
    unsigned attempt;
    const char* name;
};

const NameCase kNameCases[] = {
    {"ooo.eml", 0, "ooo.eml"},
    {"ooo.eml", 1, "ooo-1.eml"},
    {"ooo.eml", 12, "ooo-12.eml"},
    {"archive.2026.eml", 2, "archive.2026-2.eml"},
    {"notes.~bak", 1, "notes.~bak-1"}, // not an extension: '~' is no letter
    // A Maildir name's info and size fields are left out.
    {"1733639411.M1P2.mail.example.org:2,S", 0, "1733639411.M1P2.mail.example.org"},
    {"1733639411.M1P2.mail.example.org:2,S", 1, "1733639411.M1P2.mail.example-1.org"},
    {"1733639411.M1P2.host,S=1234,W=1260:2,RSa", 0, "1733639411.M1P2.host"},
    {"1733639411.M1P2.host,S=1234", 0, "1733639411.M1P2.host"},
    {"1733639411.M1P2.host!2,S", 0, "1733639411.M1P2.host"},
    {"1733639411.M1P2.host;2,", 0, "1733639411.M1P2.host"},
    {"1733639411.M1P2.host:1,S", 0, "1733639411.M1P2.host"},
    {"a,W=9,S=8,x=1", 0, "a,x=1"},
    {"ooo.eml,S=99", 1, "ooo-1.eml"},
    {":2,S", 0, "message"},
// Not info or size fields: kept.
#ifdef _WIN32
    {"notes:2,S1", 0, "notes%3A2,S1"}, // Windows forbids ':' in a name
    {"notes:3,S", 0, "notes%3A3,S"},
#else
    {"notes:2,S1", 0, "notes:2,S1"},
    {"notes:3,S", 0, "notes:3,S"},
#endif
    {"a,S=12b", 0, "a,S=12b"},
    {"a,S=,W=", 0, "a,S=,W="},
    {"a,T=5", 0, "a,T=5"},
    {"1733644960.M7P3.mail", 1, "1733644960.M7P3-1.mail"},
    {"README", 1, "README-1"},
    {"message.", 1, "message.-1"},
    {"data.tar.bz2", 1, "data.tar-1.bz2"},
    {"name.longext", 1, "name.longext-1"},
    // Control bytes and characters, '%', and separators of either system
    // are written as '%' and hex; other scripts stay.
    {"a\nb.eml", 0, "a%0Ab.eml"},
    {"a\nb.eml", 1, "a%0Ab-1.eml"},
    {"esc\x1B[8m\r.eml", 0, "esc%1B[8m%0D.eml"},
    {"del\x7F\xC2\x85.eml", 0, "del%7F%C2%85.eml"},
    {"100%.eml", 0, "100%25.eml"},
    {"a%0Ab.eml", 0, "a%250Ab.eml"},
    {"t\tab\n:2,S", 0, "t%09ab%0A"},
    {"Gr\xC3\xBC\xC3\x9F"
     "e.eml",
     0,
     "Gr\xC3\xBC\xC3\x9F"
     "e.eml"},
    // Not UTF-8: a Latin-1 letter stays, a lone C1 byte does not.
    {"caf\xE9\x9B.eml", 0, "caf\xE9%9B.eml"},
#ifdef _WIN32
    {"a<b>c\"d|e?f*g.eml", 0, "a%3Cb%3Ec%22d%7Ce%3Ff%2Ag.eml"},
#else
    {"back\\slash.eml", 0, "back%5Cslash.eml"},
    {"a<b>c\"d|e?f*g:h.eml", 0, "a<b>c\"d|e?f*g:h.eml"},
#endif
};

TEST(ReplacementFileName, OwnNameFirstThenNumberedBeforeAShortExtension) {
    for (const NameCase& c : kNameCases) {
        EXPECT_EQ(ReplacementFileName(c.source, c.attempt), c.name)
            << c.source << " attempt " << c.attempt;
    }
}

TEST(ReplacementFileName, NamedAfterTheLastComponentOfThePath) {
    EXPECT_EQ(ReplacementFileName(JoinPath(JoinPath("mail", "cur"), "ooo.eml"), 1), "ooo-1.eml");
}

TEST(MailboxMessageName, MailboxNameLessItsExtensionThenTheNumber) {
    EXPECT_EQ(MailboxMessageName(JoinPath("mail", "Inbox"), 3), "Inbox-3.eml");
    EXPECT_EQ(MailboxMessageName("archive.mbox", 12), "archive-12.eml");
    EXPECT_EQ(MailboxMessageName("-", 2), "stdin-2.eml");
    EXPECT_EQ(MailboxMessageName("-", 0), "stdin.eml");
}

std::string Contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A saved replacement carries its envelope sender on top, once, in angle
// brackets, and nothing a sender could add as a line of its own.
TEST(DeliveredReplacement, EnvelopeSenderOnTopAsAReceiverStoresIt) {
    struct Case {
        const char* sender;
        const char* top;
    };
    const Case cases[] = {
        {"autoreply@example.org", "Return-Path: <autoreply@example.org>\r\n"},
        {"<relay@example.org>", "Return-Path: <relay@example.org>\r\n"},
        {" \tautoreply@example.org \t", "Return-Path: <autoreply@example.org>\r\n"},
        {"relay-without-domain", "Return-Path: <relay-without-domain>\r\n"},
        {"a@b\r\nX-Injected: 1", "Return-Path: <a@bX-Injected: 1>\r\n"},
        {"", "Return-Path: <>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sender);
        EXPECT_EQ(DeliveredReplacement(c.sender, "Message-ID: <ar1@x>\r\n\r\nbody\r\n"),
                  std::string(c.top) + "Message-ID: <ar1@x>\r\n\r\nbody\r\n");
    }
}

TEST(SaveReplacement, NeverReplacesAFileThatIsThere) {
    const std::string folder = UniqueTempPath(2000) + ".d";
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    std::ofstream(JoinPath(folder, "ooo.eml"), std::ios::binary) << "somebody's mail";
    std::string written;
    std::string reason;

    ASSERT_TRUE(SaveReplacement(folder, JoinPath("in", "ooo.eml"), "one\r\n", &written, &reason))
        << reason;
    const std::string first = written;
    ASSERT_TRUE(SaveReplacement(folder, "ooo.eml", "two\r\n", &written, &reason)) << reason;

    EXPECT_EQ(first, JoinPath(folder, "ooo-1.eml"));
    EXPECT_EQ(written, JoinPath(folder, "ooo-2.eml"));
    EXPECT_EQ(Contents(JoinPath(folder, "ooo.eml")), "somebody's mail");
    EXPECT_EQ(Contents(first), "one\r\n");
    EXPECT_EQ(Contents(written), "two\r\n");
    std::filesystem::remove_all(folder);
}

// The name a mailbox's message is saved under is as safe as a file's.
TEST(SaveReplacement, NoControlBytesInTheName) {
    const std::string folder = UniqueTempPath(2003) + ".d";
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    std::string written;
    std::string reason;

    ASSERT_TRUE(SaveReplacement(folder, MailboxMessageName("In\nbox\x1B.mbox", 2), "x\r\n",
                                &written, &reason))
        << reason;

    EXPECT_EQ(written, JoinPath(folder, "In%0Abox%1B-2.eml"));
    EXPECT_EQ(Contents(written), "x\r\n");
    std::filesystem::remove_all(folder);
}

TEST(SaveReplacement, SaysWhyWhenTheFolderIsNotThere) {
    const std::string folder = UniqueTempPath(2001) + ".missing";
    std::string written;
    std::string reason;

    EXPECT_FALSE(SaveReplacement(folder, "ooo.eml", "x", &written, &reason));

    EXPECT_EQ(reason.rfind(JoinPath(folder, "ooo.eml") + ": ", 0), 0u) << reason;
    EXPECT_TRUE(written.empty());
}

// The folder is held between saves; one removed and made again under the
// same name takes the next replacement all the same.
TEST(SaveReplacement, SavesIntoAFolderMadeAgainUnderItsName) {
    const std::string folder = UniqueTempPath(2005) + ".d";
    std::string written;
    std::string reason;
    for (const char* content : {"one\r\n", "two\r\n"}) {
        std::filesystem::remove_all(folder);
        ASSERT_TRUE(std::filesystem::create_directories(folder));
        ASSERT_TRUE(SaveReplacement(folder, "ooo.eml", content, &written, &reason)) << reason;
        EXPECT_EQ(written, JoinPath(folder, "ooo.eml"));
        EXPECT_EQ(Contents(written), content);
    }
    std::filesystem::remove_all(folder);
}

#ifndef _WIN32
// A folder on the way that others may write to, and is not sticky, is
// refused, and nothing is made below it.
TEST(MakeFolder, RefusesAWayOthersCouldChange) {
    const std::string base = UniqueTempPath(2006) + ".d";
    ASSERT_TRUE(std::filesystem::create_directories(base));
    std::filesystem::permissions(base, std::filesystem::perms::all);
    std::string reason;
    EXPECT_FALSE(MakeFolder(JoinPath(base, "saved"), &reason));
    EXPECT_NE(reason.find("may be written by other users"), std::string::npos) << reason;
    EXPECT_FALSE(std::filesystem::exists(JoinPath(base, "saved")));
    std::filesystem::permissions(base,
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    EXPECT_TRUE(MakeFolder(JoinPath(base, "saved"), &reason)) << reason;
    std::filesystem::remove_all(base);
}
#endif

TEST(MakeFolder, MakesOrKeepsAFolderAndRefusesAFileInTheWay) {
    const std::string base = UniqueTempPath(2002) + ".d";
    const std::string file = JoinPath(base, "taken");
    std::string reason;

    ASSERT_TRUE(MakeFolder(base, &reason)) << reason;
    EXPECT_TRUE(std::filesystem::is_directory(base));
    EXPECT_TRUE(MakeFolder(base, &reason)) << reason; // already there: fine
    std::ofstream(file, std::ios::binary) << "somebody's mail";
    EXPECT_FALSE(MakeFolder(file, &reason));
    EXPECT_NE(reason.find("is not a folder"), std::string::npos) << reason;
    EXPECT_EQ(Contents(file), "somebody's mail");
    std::filesystem::remove_all(base);
}

TEST(MakeFolder, MakesTheMissingFoldersAboveIt) {
    const std::string base = UniqueTempPath(2003) + ".d";
    const std::string deeper = JoinPath(JoinPath(JoinPath(base, "a"), "b"), "c");
    const std::string file = JoinPath(base, "taken");
    std::string reason;

    ASSERT_TRUE(MakeFolder(deeper, &reason)) << reason;
    EXPECT_TRUE(std::filesystem::is_directory(deeper));
    EXPECT_TRUE(MakeFolder(JoinPath(deeper, "d") + "/", &reason)) << reason;
    EXPECT_TRUE(std::filesystem::is_directory(JoinPath(deeper, "d")));
    std::ofstream(file, std::ios::binary) << "somebody's mail";
    // A file in the way of a parent: named in the reason.
    EXPECT_FALSE(MakeFolder(JoinPath(JoinPath(file, "b"), "c"), &reason));
    EXPECT_NE(reason.find(BaseName(file) + " is not a folder"), std::string::npos) << reason;
    EXPECT_EQ(Contents(file), "somebody's mail");
    std::filesystem::remove_all(base);
}

#ifndef _WIN32
// Every folder made is as private as the platform makes folders, not as
// open as the umask allows.
TEST(MakeFolder, MakesEachMissingParentThroughThePlatform) {
    const std::string base = UniqueTempPath(2004) + ".d";
    const std::string a = JoinPath(base, "a");
    const std::string b = JoinPath(a, "b");
    const std::string direct = JoinPath(base, "direct");
    std::string reason;
    const mode_t umaskBefore = umask(0);
    ASSERT_EQ(CreateFolder(base, &reason), CreateOutcome::kCreated) << reason;
    ASSERT_EQ(CreateFolder(direct, &reason), CreateOutcome::kCreated) << reason;
    const bool made = MakeFolder(JoinPath(b, "c"), &reason);
    umask(umaskBefore);

    ASSERT_TRUE(made) << reason;
    const auto platform = std::filesystem::status(direct).permissions();
    for (const std::string& folder : {a, b, JoinPath(b, "c")}) {
        EXPECT_EQ(std::filesystem::status(folder).permissions(), platform) << folder;
    }
    std::filesystem::remove_all(base);
}
#endif

} // namespace
