// The runner's POSIX platform layer: names split into folder and file,
// what it makes (for this user alone, never through a link), and inputs
// that are not regular files refused at once rather than waited on.
#include "platform/system.h"
#include "platform/sha256.h"
#include "standin/temp_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kPermissionBits = 07777;

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? (info.st_mode & kPermissionBits) : 0;
}

std::string RealFolder(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : std::string();
}

// A scratch folder of the test's own, removed afterwards.
class RunnerPlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = UniqueTempPath(serial_++) + ".d";
        ASSERT_EQ(mkdir(root_.c_str(), 0700), 0) << root_;
    }
    void TearDown() override {
        const std::string remove = "rm -rf '" + root_ + "'";
        ASSERT_EQ(std::system(remove.c_str()), 0);
    }
    std::string At(const std::string& name) const { return root_ + "/" + name; }

    std::string root_;
    static unsigned serial_;
};
unsigned RunnerPlatformTest::serial_ = 7000;

TEST(RunnerPlatform, BaseNameIsTheLastComponent) {
    const std::pair<const char*, const char*> cases[] = {
        {"a/b/c.eml", "c.eml"}, {"a/b/", "b"}, {"c.eml", "c.eml"}, {"/", ""}, {"/top", "top"},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(BaseName(path), name) << path;
    }
}

// A place that does not exist yet is named by its folder's real path and
// its own name, as it will be once made.
TEST_F(RunnerPlatformTest, PathKeyOfANewPlaceJoinsItsFolderAndName) {
    ASSERT_EQ(mkdir(At("sub").c_str(), 0700), 0);
    const std::string folder = RealFolder(root_);
    EXPECT_EQ(PathKey(At("sub/new.txt")), folder + "/sub/new.txt");
    EXPECT_EQ(PathKey(At("sub/")), folder + "/sub");
    EXPECT_EQ(PathKey(At("sub/../new.txt")), folder + "/new.txt");
}

// Saved mail and its folders are for this user alone, whatever the umask;
// a name that is there, or a link planted at it, is never written.
TEST_F(RunnerPlatformTest, MadeFilesAndFoldersArePrivateAndNeverWrittenThrough) {
    const mode_t old = umask(0);
    std::string reason;
    EXPECT_EQ(CreateFolder(At("saved"), &reason), CreateOutcome::kCreated) << reason;
    EXPECT_EQ(CreateNewFile(At("saved/a.eml"), "x", &reason), CreateOutcome::kCreated) << reason;
    umask(old);
    EXPECT_EQ(ModeOf(At("saved")), 0700u);
    EXPECT_EQ(ModeOf(At("saved/a.eml")), 0600u);

    EXPECT_EQ(CreateNewFile(At("saved/a.eml"), "y", &reason), CreateOutcome::kExists);
    ASSERT_EQ(symlink(At("victim").c_str(), At("saved/link.eml").c_str()), 0);
    EXPECT_NE(CreateNewFile(At("saved/link.eml"), "y", &reason), CreateOutcome::kCreated);
    EXPECT_NE(access(At("victim").c_str(), F_OK), 0) << "written through a dangling link";
}

TEST_F(RunnerPlatformTest, ReportFileIsNotWrittenThroughALink) {
    ASSERT_EQ(symlink(At("victim").c_str(), At("report.txt").c_str()), 0);
    OutputFile file;
    std::string reason;
    EXPECT_FALSE(CreateReportFile(At("report.txt"), &file, &reason));
    EXPECT_NE(reason.find("link"), std::string::npos) << reason;
    EXPECT_NE(access(At("victim").c_str(), F_OK), 0);
}

// A pipe (or anything but a regular file) is refused at once: opening it
// for reading would wait for a writer for ever.
TEST_F(RunnerPlatformTest, InputThatIsNoRegularFileIsRefusedWithoutWaiting) {
    ASSERT_EQ(mkfifo(At("pipe").c_str(), 0600), 0);
    InputFile file;
    std::string reason;
    EXPECT_FALSE(OpenInputFile(At("pipe"), &file, &reason));
    EXPECT_EQ(reason, "not a regular file");
    EXPECT_FALSE(OpenInputFile(root_, &file, &reason));

    ASSERT_EQ(CreateNewFile(At("mail.eml"), "Subject: x\n", &reason), CreateOutcome::kCreated);
    ASSERT_TRUE(OpenInputFile(At("mail.eml"), &file, &reason)) << reason;
    char buffer[16];
    std::size_t got = 0;
    EXPECT_TRUE(ReadInputFile(&file, buffer, sizeof(buffer), &got, &reason));
    EXPECT_EQ(std::string(buffer, got), "Subject: x\n"); // reads block again once open
    CloseInputFile(&file);
}

// FIPS 180-4's published examples, and one that crosses many blocks.
TEST(Sha256, MatchesThePublishedTestVectors) {
    const std::pair<std::string, const char*> cases[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [text, digest] : cases) {
        Sha256 whole;
        whole.Update(text.data(), text.size());
        EXPECT_EQ(whole.HexDigest(), digest) << text.size() << " bytes";
        // The same in uneven pieces: a block filled across several updates.
        Sha256 pieces;
        for (std::size_t at = 0; at < text.size(); at += 37) {
            pieces.Update(text.data() + at, std::min<std::size_t>(37, text.size() - at));
        }
        EXPECT_EQ(pieces.HexDigest(), digest) << text.size() << " bytes in pieces";
    }
}

} // namespace
