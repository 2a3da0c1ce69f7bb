// The stand-in server's own behaviour, where the module's tests rely on it:
// line handling, header lookup, the leak report and module loading errors.
#include "standin/message_lines.h"
#include "standin/module_loader.h"
#include "standin/standin_server.h"
#include "standin/temp_files.h"

#include "daemon/platform.h"
#include "host/host_calls.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

TEST(MessageLinesTest, SplitsIntoCrlfLines) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a\nb\n", {"a\r\n", "b\r\n"}},
        {"a\r\nb\r\n", {"a\r\n", "b\r\n"}},
        {"a\r\n\r\nb", {"a\r\n", "\r\n", "b\r\n"}},
        {"\n", {"\r\n"}},
        // A lone CR ends the text's last line; inside a line it stays (the
        // runner mends it before the host sees it). A CR before CR LF is
        // the line's own.
        {"a\r", {"a\r\n"}},
        {"x\ry\n", {"x\ry\r\n"}},
        {"a\r\r\nb\n\r", {"a\r\r\n", "b\r\n", "\r\n"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitIntoCrlfLines(c.text), c.lines) << c.text;
    }
}

// A job keeps its message in one piece and serves its lines as it reads
// them: they must be the lines the host stores, CR LF made as
// SplitIntoCrlfLines makes it (a lone CR at the very end goes too), or as
// they are when the host keeps line ends.
TEST(HostJobTest, ServesTheLinesTheHostStores) {
    const char* const texts[] = {"",        "a\nb\n",   "a\r\nb", "a\r",   "\r",
                                 "a\r\r\n", "\n\n\r\n", "x\ry\n", "a\nb\r"};
    for (const char* text : texts) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        for (bool keep : {false, true}) {
            HostJob job;
            job.text = text;
            job.keepLineEnds = keep;
            EXPECT_EQ(job.Lines(), keep ? SplitKeepingLineEnds(text) : SplitIntoCrlfLines(text));
        }
    }
}

// A job the module writes gives back each write, pieces of a long line
// apart, whatever it holds.
TEST(HostJobTest, GivesBackTheModulesWrites) {
    StandInServer host;
    const HostServiceBlock* block = host.Block();
    host.AddIncomingJob("<>", {}, "a\n");
    JobHandle job = HostCreateJob(block, "relay@example.org");
    const std::vector<std::string> writes = {
        "Message-ID: <ar1@d>\r\n", "long ", "line\r\n", "", "\r\n", "tail"};
    for (const std::string& write : writes) {
        HostWriteLine(block, job, write.c_str());
    }
    ASSERT_EQ(host.CreatedJobs().size(), 1u);
    EXPECT_EQ(
        host.CreatedJobs()[0]->Lines(),
        (std::vector<std::string>{"Message-ID: <ar1@d>\r\n", "long ", "line\r\n", "\r\n", "tail"}));
    HostReleaseJob(block, job);
}

TEST(MessageLinesTest, FindsUnfoldedHeaderValuesInTheHeaderOnly) {
    const std::vector<std::string> lines =
        SplitIntoCrlfLines("x-autoreply-from:  Bob\n <bob@x.y>\nSubject: s\n\nX-Other: body\n");
    bool found = false;
    EXPECT_EQ(FindHeaderValue(lines, "X-Autoreply-From", &found), "Bob <bob@x.y>");
    EXPECT_TRUE(found);
    FindHeaderValue(lines, "X-Other", &found);
    EXPECT_FALSE(found);
}

TEST(StandInServerTest, LeakReportNamesWhatWasLeftBehind) {
    StandInServer host;
    const HostServiceBlock* block = host.Block();
    JobHandle incoming = host.AddIncomingJob("<>", {}, "a\n");
    char path[kTempPathBufferSize + 1] = {};

    HostTempFileName(block, path);
    HostWriteJobToFile(block, incoming, path);
    MessageHandle message = HostOpenMessageFile(block, path);
    JobHandle created = HostCreateJob(block, "relay@example.org");
    ASSERT_NE(message, nullptr);
    ASSERT_NE(created, nullptr);

    const std::string leaks = host.Leaks();
    EXPECT_NE(leaks.find("not released"), std::string::npos) << leaks;
    EXPECT_NE(leaks.find("not closed"), std::string::npos) << leaks;
    EXPECT_NE(leaks.find("left behind"), std::string::npos) << leaks;

    HostReleaseJob(block, created);
    HostCloseMessageFile(block, message);
    std::remove(path);
    EXPECT_EQ(host.Leaks(), "");
    EXPECT_TRUE(host.violations.empty());
}

// Ending a job hands over everything it did, and the server keeps nothing
// of it: the next job is judged on its own record, and the copy of the
// mail the module left behind is gone from the disk.
TEST(StandInServerTest, EndJobHandsTheRecordOverAndForgets) {
    StandInServer host;
    const HostServiceBlock* block = host.Block();
    JobHandle incoming = host.AddIncomingJob("<>", {"alice@example.net"}, "a\n");
    char path[kTempPathBufferSize + 1] = {};
    HostTempFileName(block, path);
    HostWriteJobToFile(block, incoming, path);
    HostLog(block, 25, "looked");
    JobHandle submitted = HostCreateJob(block, "relay@example.org");
    HostAddRecipient(block, submitted, "alice@example.net");
    HostWriteLine(block, submitted, "Message-ID: <x@y>\r\n");
    HostCloseJob(block, submitted);
    HostReleaseJob(block, submitted);
    HostCreateJob(block, "other@example.org"); // neither closed nor released
    host.serverFailures.push_back("a failure of its own");

    const JobRecord record = host.EndJob();
    ASSERT_EQ(record.logs.size(), 1u);
    EXPECT_EQ(record.logs[0].text, "looked");
    ASSERT_EQ(record.madeJobs.size(), 2u);
    ASSERT_NE(record.Submitted(), nullptr);
    EXPECT_EQ(record.Submitted()->sender, "relay@example.org");
    EXPECT_EQ(record.Submitted()->recipients, std::vector<std::string>{"alice@example.net"});
    EXPECT_EQ(record.Submitted()->text, "Message-ID: <x@y>\r\n");
    EXPECT_FALSE(record.madeJobs[1].closed);
    EXPECT_NE(record.leftBehind.find("from other@example.org not released"), std::string::npos)
        << record.leftBehind;
    EXPECT_NE(record.leftBehind.find("left behind"), std::string::npos) << record.leftBehind;
    EXPECT_EQ(record.serverFailures, std::vector<std::string>{"a failure of its own"});
    EXPECT_FALSE(FileExists(path));

    const JobRecord next = host.EndJob();
    EXPECT_TRUE(next.logs.empty());
    EXPECT_TRUE(next.madeJobs.empty());
    EXPECT_EQ(next.leftBehind, "");
    EXPECT_TRUE(next.serverFailures.empty());
    EXPECT_FALSE(next.daemonCalled);
}

// Over-long lines come back the way fgets hands them over: in terminated
// pieces of at most 9999 bytes, only the last one ending with the line end;
// or, from a strncpy-based host, cut with the buffer full and no terminator.
TEST(StandInServerTest, OverlongLinesComeInPiecesOrCut) {
    const std::string line = std::string(kLineBufferSize + 5, 'x');
    std::vector<char> buffer(kLineBufferSize + 1, '\0');
    {
        StandInServer host;
        JobHandle job = host.AddIncomingJob("<>", {}, line);
        ASSERT_TRUE(HostReadLine(host.Block(), job, buffer.data()));
        EXPECT_EQ(std::string(buffer.data()), std::string(kLineBufferSize - 1, 'x'));
        ASSERT_TRUE(HostReadLine(host.Block(), job, buffer.data()));
        EXPECT_EQ(std::string(buffer.data()), "xxxxxx\r\n");
        EXPECT_FALSE(HostReadLine(host.Block(), job, buffer.data()));
    }
    {
        StandInServer host;
        host.faults.cutLongLines = true;
        JobHandle job = host.AddIncomingJob("<>", {}, line);
        ASSERT_TRUE(HostReadLine(host.Block(), job, buffer.data()));
        EXPECT_EQ(std::memchr(buffer.data(), '\0', kLineBufferSize), nullptr);
    }
}

// Answers (a header's value, an address) longer than the module's buffer fill it to the last byte
// but its terminator, as the real host's cut does; shorter ones come whole.
TEST(StandInServerTest, LongAnswersFillTheBufferLessItsTerminator) {
    const std::size_t kBuffer = static_cast<std::size_t>(kHeaderValueBufferSize);
    const std::size_t lengths[] = {1, kBuffer - 2, kBuffer - 1, kBuffer, kBuffer + 40};
    for (const std::size_t length : lengths) {
        SCOPED_TRACE(length);
        const std::string address = std::string(length - 1, 'a') + "@";
        StandInServer host;
        JobHandle incoming =
            host.AddIncomingJob("<>", {}, "X-Autoreply-From: " + address + "\n\nbody\n");
        char path[kTempPathBufferSize + 1] = {};
        char value[kHeaderValueBufferSize + 1] = {};
        HostTempFileName(host.Block(), path);
        HostWriteJobToFile(host.Block(), incoming, path);
        MessageHandle message = HostOpenMessageFile(host.Block(), path);
        ASSERT_NE(HostFindHeader(host.Block(), message, "X-Autoreply-From", value), nullptr);
        EXPECT_EQ(std::string(value), address.substr(0, kBuffer - 1));
        HostCloseMessageFile(host.Block(), message);
        std::remove(path);
        char extracted[kAddressBufferSize + 1] = {};
        ASSERT_TRUE(HostExtractAddress(host.Block(), extracted, ("<" + address + ">").c_str()));
        EXPECT_EQ(std::string(extracted),
                  address.substr(0, static_cast<std::size_t>(kAddressBufferSize) - 1));
        EXPECT_TRUE(host.violations.empty());
    }
}

// Each misuse a real server would punish shows up as a violation.
TEST(StandInServerTest, ReportsContractViolations) {
    struct Case {
        const char* name;
        void (*misuse)(StandInServer& host, JobHandle incoming);
    };
    const Case cases[] = {
        {"releasing the host's job",
         [](StandInServer& host, JobHandle incoming) { HostReleaseJob(host.Block(), incoming); }},
        {"rewinding the module's job",
         [](StandInServer& host, JobHandle) {
             JobHandle created = HostCreateJob(host.Block(), "relay@example.org");
             HostRewindJob(host.Block(), created);
             HostReleaseJob(host.Block(), created);
         }},
        {"asking for the header in another letter case",
         [](StandInServer& host, JobHandle incoming) {
             char path[kTempPathBufferSize + 1] = {};
             char value[kHeaderValueBufferSize + 1] = {};
             HostTempFileName(host.Block(), path);
             HostWriteJobToFile(host.Block(), incoming, path);
             MessageHandle message = HostOpenMessageFile(host.Block(), path);
             HostFindHeader(host.Block(), message, "x-autoreply-from", value);
             HostCloseMessageFile(host.Block(), message);
             std::remove(path);
         }},
        // The host writes and opens only the copies it named.
        {"writing the job where the host named no copy",
         [](StandInServer& host, JobHandle incoming) {
             const std::string path = ::testing::TempDir() + "velmora-not-named.eml";
             HostWriteJobToFile(host.Block(), incoming, path.c_str());
             EXPECT_FALSE(std::ifstream(path).good()) << path << " was written";
             std::remove(path.c_str());
         }},
        {"writing the job beside the copy the host named",
         [](StandInServer& host, JobHandle incoming) {
             char named[kTempPathBufferSize + 1] = {};
             HostTempFileName(host.Block(), named);
             const std::string path = std::string(named) + ".other";
             HostWriteJobToFile(host.Block(), incoming, path.c_str());
             EXPECT_FALSE(std::ifstream(path).good()) << path << " was written";
             std::remove(path.c_str());
         }},
        {"opening a file the host named not",
         [](StandInServer& host, JobHandle) {
             const std::string path = ::testing::TempDir() + "velmora-not-named.eml";
             std::ofstream(path, std::ios::binary) << "X-Autoreply-From: a@b.c\r\n\r\n";
             MessageHandle message = HostOpenMessageFile(host.Block(), path.c_str());
             EXPECT_EQ(message, nullptr);
             if (message != nullptr) {
                 HostCloseMessageFile(host.Block(), message);
             }
             std::remove(path.c_str());
         }},
        // As on Windows, the host holding the file open makes the delete
        // fail, so the copy of the mail stays on disk.
        {"deleting the message file before closing it",
         [](StandInServer& host, JobHandle incoming) {
             char path[kTempPathBufferSize + 1] = {};
             HostTempFileName(host.Block(), path);
             HostWriteJobToFile(host.Block(), incoming, path);
             MessageHandle message = HostOpenMessageFile(host.Block(), path);
             PlatformDeleteFile(path);
             HostCloseMessageFile(host.Block(), message);
             EXPECT_NE(host.Leaks().find("left behind"), std::string::npos);
             std::remove(path);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInServer host;
        JobHandle incoming = host.AddIncomingJob("<>", {}, "X-Autoreply-From: a@b.c\n");
        c.misuse(host, incoming);
        EXPECT_EQ(host.violations.size(), 1u);
    }
}

TEST(ModuleLoaderTest, ReportsFilesThatAreNotModules) {
    LoadedModule module;
    std::string error;
    EXPECT_EQ(module.Load(ExecutableDirectory() + "no-such-module", &error),
              LoadOutcome::kCannotLoad);
    EXPECT_NE(error.find("cannot load"), std::string::npos);
}

} // namespace
