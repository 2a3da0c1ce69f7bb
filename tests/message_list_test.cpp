// Walking the paths of a run: name order, what is skipped, what is
// unreadable, and a missing path stopping everything before it starts; and
// telling whether an output lies inside an input.
#include "standin/temp_files.h"
#include "runner/message_list.h"
#include "runner/output_guard.h"
#include "runner/runner_platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class MessageListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = UniqueTempPath(serial_++) + ".d";
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

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
            std::string path = fs::path(message.path).lexically_relative(root_).generic_string();
            relative.push_back(message.unreadable.empty() ? path : path + " (unreadable)");
        }
        return relative;
    }

    std::vector<MessageSource> Walk(const std::vector<std::string>& paths) {
        std::vector<MessageSource> messages;
        std::string error;
        EXPECT_TRUE(ListMessages(paths, &messages, &notes_, &error)) << error;
        return messages;
    }

    static unsigned serial_;
    std::string root_;
    std::vector<std::string> notes_;
};

unsigned MessageListTest::serial_ = 1000;

TEST_F(MessageListTest, WalksDepthFirstInByteOrderOfNames) {
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
TEST_F(MessageListTest, SkipsHiddenEntriesAndOnlyAMaildirsTmp) {
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

TEST_F(MessageListTest, NamedPathsComeInTheGivenOrderWhateverTheirNames) {
    Touch("z.eml");
    Touch(".hidden.eml");
    Touch("d/a.eml");
    const std::string z = JoinPath(root_, "z.eml");
    const std::string hidden = JoinPath(root_, ".hidden.eml");
    const std::string folder = JoinPath(root_, "d");

    EXPECT_EQ(Listed(Walk({z, folder, hidden})),
              (std::vector<std::string>{"z.eml", "d/a.eml", ".hidden.eml"}));
}

TEST_F(MessageListTest, AMissingPathListsNothing) {
    Touch("a.eml");
    std::vector<MessageSource> messages;
    std::string error;
    const std::string missing = JoinPath(root_, "missing");

    EXPECT_FALSE(ListMessages({root_, missing}, &messages, &notes_, &error));

    EXPECT_EQ(error, "no such file or folder: " + missing);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MessageListTest, AnEmptyFolderListsNothingAndIsNoError) {
    Folder("empty");
    EXPECT_TRUE(Walk({JoinPath(root_, "empty")}).empty());
}

#ifndef _WIN32
TEST_F(MessageListTest, LinksToFilesAreFollowedLinksToFoldersAreNot) {
    Touch("real/a.eml");
    fs::create_symlink(fs::path(root_) / "real" / "a.eml", fs::path(root_) / "link.eml");
    fs::create_directory_symlink(fs::path(root_), fs::path(root_) / "loop");
    fs::create_symlink(fs::path(root_) / "gone.eml", fs::path(root_) / "dangling.eml");

    EXPECT_EQ(Listed(Walk({root_})),
              (std::vector<std::string>{"dangling.eml (unreadable)", "link.eml", "real/a.eml"}));
    EXPECT_EQ(notes_, (std::vector<std::string>{JoinPath(root_, "loop") +
                                                ": a link to a folder, not followed"}));
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

} // namespace
