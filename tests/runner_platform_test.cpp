// The runner's POSIX platform layer: names split into folder and file,
// what it makes (for this user alone, never through a link), and inputs
// that are not regular files refused at once rather than waited on.
#include "platform/sha256.h"
#include "platform/system.h"
#include "platform/trusted_path.h"
#include "standin/temp_files.h"
#include "tests/support/scratch_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

// The way to an output, walked as it will be: ".." and links as the
// system takes them on what exists, by name on what is still to be made;
// a folder others may write to that is not sticky, or anything but a
// folder on the way, fails.
TEST_F(RunnerPlatformTest, TrustedWalkResolvesTheWayAndRefusesWhatOthersCouldChange) {
    ASSERT_EQ(mkdir(At("a").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(At("open").c_str(), 0700), 0);
    ASSERT_EQ(chmod(At("open").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(At("sticky").c_str(), 0700), 0);
    ASSERT_EQ(chmod(At("sticky").c_str(), 01777), 0);
    ASSERT_EQ(symlink("a", At("link").c_str()), 0);
    ASSERT_EQ(symlink("loop", At("loop").c_str()), 0);
    ASSERT_EQ(close(open(At("file").c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    const std::string real = RealFolder(root_);
    const std::string top = BaseName(root_);
    struct Case {
        const char* path;     // below the scratch folder
        const char* resolved; // below its real path; null: refused
        std::size_t missing;
        const char* reason; // part of the refusal
    };
    const Case cases[] = {
        {"a", "/a", 0, nullptr},
        {"a/b/c", "/a/b/c", 2, nullptr},
        {"new/../a", "/a", 0, nullptr},
        {"new/../new2/../a/x", "/a/x", 1, nullptr},
        {"link/x", "/a/x", 1, nullptr},
        {"a/./../link/", "/a", 0, nullptr},
        {"sticky/x", "/sticky/x", 1, nullptr},
        {"open/x", nullptr, 0, "/open may be written by other users and is not sticky"},
        {"new/../open/x", nullptr, 0, "may be written by other users"},
        {"file/x", nullptr, 0, "/file is not a folder"},
        {"loop/x", nullptr, 0, "too many links"},
    };
    for (const Case& c : cases) {
        TrustedWalk walk;
        std::string reason;
        const bool ok = WalkTrustedPath(At(c.path), &walk, &reason);
        EXPECT_EQ(ok, c.resolved != nullptr) << c.path << ": " << reason;
        if (ok && c.resolved != nullptr) {
            EXPECT_EQ(WalkedPath(walk), real + c.resolved) << c.path;
            EXPECT_EQ(walk.missing.size(), c.missing) << c.path;
        }
        if (!ok && c.reason != nullptr) {
            EXPECT_NE(reason.find(c.reason), std::string::npos) << c.path << ": " << reason;
        }
        CloseTrustedWalk(&walk);
    }
    // Up past the scratch folder and back in by name.
    TrustedWalk walk;
    std::string reason;
    ASSERT_TRUE(WalkTrustedPath(At("a/../../" + top + "/a"), &walk, &reason)) << reason;
    EXPECT_EQ(WalkedPath(walk), real + "/a");
    // Nothing on the way was made.
    EXPECT_NE(access(At("new").c_str(), F_OK), 0);
    CloseTrustedWalk(&walk);
}

// The missing folders are made one by one from the one above, private
// whatever the umask; a file in the way stops it.
TEST_F(RunnerPlatformTest, WalkedFoldersAreMadeOneByOne) {
    TrustedWalk walk;
    std::string reason;
    ASSERT_TRUE(WalkTrustedPath(At("x/../m/n"), &walk, &reason)) << reason;
    const mode_t old = umask(0);
    const bool made = MakeWalkedFolders(&walk, &reason);
    umask(old);
    ASSERT_TRUE(made) << reason;
    EXPECT_TRUE(walk.missing.empty());
    EXPECT_EQ(walk.reached, RealFolder(root_) + "/m/n");
    EXPECT_EQ(ModeOf(At("m")), 0700u);
    EXPECT_EQ(ModeOf(At("m/n")), 0700u);
    EXPECT_NE(access(At("x").c_str(), F_OK), 0);
    EXPECT_EQ(CreateFileInFolder(walk, "f.eml", "x", &reason), CreateOutcome::kCreated) << reason;
    EXPECT_EQ(ModeOf(At("m/n/f.eml")), 0600u);
    EXPECT_EQ(CreateFileInFolder(walk, "f.eml", "y", &reason), CreateOutcome::kExists);
    CloseTrustedWalk(&walk);
}

// A report file is replaced only when it is this user's own regular file
// with one name; then it becomes private.
TEST_F(RunnerPlatformTest, ReportPlaceTakesOnlyTheUsersOwnFile) {
    ASSERT_EQ(close(open(At("own.txt").c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    ASSERT_EQ(chmod(At("own.txt").c_str(), 0666), 0);
    ASSERT_EQ(close(open(At("twice.txt").c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    ASSERT_EQ(link(At("twice.txt").c_str(), At("second.txt").c_str()), 0);
    ASSERT_EQ(symlink("own.txt", At("link.txt").c_str()), 0);
    ASSERT_EQ(mkfifo(At("pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(At("folder").c_str(), 0700), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"new.txt", nullptr},
        {"own.txt", nullptr},
        {"twice.txt", "has other names"},
        {"link.txt", "a link is there"},
        {"pipe", "not a regular file"},
        {"folder", "it is a folder"},
        {"folder/", "names a folder"},
        {"missing/r.txt", "does not exist"},
    };
    for (const auto& [name, refusal] : cases) {
        std::string resolved;
        std::string reason;
        const bool ok = CheckReportPlace(At(name), &resolved, &reason);
        EXPECT_EQ(ok, refusal == nullptr) << name << ": " << reason;
        if (refusal != nullptr) {
            EXPECT_NE(reason.find(refusal), std::string::npos) << name << ": " << reason;
        } else {
            EXPECT_EQ(resolved, RealFolder(root_) + "/" + name);
        }
    }
    OutputFile file;
    std::string reason;
    ASSERT_TRUE(CreateReportFile(At("own.txt"), &file, &reason)) << reason;
    EXPECT_TRUE(CloseOutputFile(&file, &reason));
    EXPECT_EQ(ModeOf(At("own.txt")), 0600u);
    EXPECT_FALSE(CreateReportFile(At("twice.txt"), &file, &reason));
    EXPECT_FALSE(CreateReportFile(At("pipe"), &file, &reason));
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
    EXPECT_EQ(InputFileSize(file), 11u); // as seen when it was opened
    char buffer[16];
    std::size_t got = 0;
    EXPECT_TRUE(ReadInputFile(&file, buffer, sizeof(buffer), &got, &reason));
    EXPECT_EQ(std::string(buffer, got), "Subject: x\n"); // reads block again once open
    CloseInputFile(&file);
}

// FIPS 180-4's published examples, and one that crosses many blocks.
// What `fd` tells StandardOutputIsTerminal and StandardErrorIsTerminal
// while it stands in for standard output and standard error in turn.
std::pair<bool, bool> TerminalAnswers(int fd) {
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(STDOUT_FILENO);
    const int savedErr = dup(STDERR_FILENO);
    dup2(fd, STDOUT_FILENO);
    const bool out = StandardOutputIsTerminal();
    dup2(savedOut, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    const bool err = StandardErrorIsTerminal();
    dup2(savedErr, STDERR_FILENO);
    close(savedOut);
    close(savedErr);
    return {out, err};
}

// Standard output or error is taken for a terminal only when it is one: a
// file or a pipe it goes to gets the lines bare, without the progress
// line's redrawing.
TEST(RunnerPlatform, OnlyATerminalIsTakenForOne) {
    const std::string path = UniqueTempPath(4242) + ".out";
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0) << path;
    EXPECT_EQ(TerminalAnswers(file), std::make_pair(false, false)) << "a file";
    close(file);
    unlink(path.c_str());
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_EQ(TerminalAnswers(pipeEnds[1]), std::make_pair(false, false)) << "a pipe";
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    const int controller = posix_openpt(O_RDWR | O_NOCTTY);
    if (controller < 0 || grantpt(controller) != 0 || unlockpt(controller) != 0) {
        GTEST_SKIP() << "no pseudo-terminal to stand in for a terminal";
    }
    const int terminal = open(ptsname(controller), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    EXPECT_EQ(TerminalAnswers(terminal), std::make_pair(true, true)) << "a terminal";
    close(terminal);
    close(controller);
}

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
