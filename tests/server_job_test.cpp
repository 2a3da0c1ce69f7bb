// Judging a job from what the module did in the server, and writing text
// for Windows: the runner's logic where a fault would tell an admin
// something that did not happen.
#include "runner/job/run_sink.h"
#include "runner/job/server_job.h"
#include "runner/output/text_output.h"
#include "standin/temp_files.h"
#include "tests/support/scratch_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>

namespace {

constexpr const char* kFound = "Autoreply from bob@example.org found";
constexpr const char* kModified = "MAIL FROM in autoreply modified by daemon";
constexpr const char* kNotModified = "Unable to modify MAIL FROM in autoreply";
constexpr const char* kStarted = "Velmora daemon loaded successfully";

struct JudgeCase {
    const char* name;
    const char* sender;
    std::vector<const char*> logged;
    bool serverFailed; // the stand-in could not make the copy
    JobOutcome outcome;
};

const JudgeCase kJudgeCases[] = {
    {"rewritten", "<>", {kStarted, kFound, kModified}, false, JobOutcome::kRewritten},
    {"unable", "<>", {kFound, kNotModified}, false, JobOutcome::kUnable},
    {"turned_away", "<>", {kFound}, false, JobOutcome::kTurnedAway},
    {"no_header", "<>", {kStarted}, false, JobOutcome::kNoHeader},
    // Never looked at is not the same as having no header.
    {"unexamined", "<>", {}, true, JobOutcome::kUnexamined},
    {"found_despite_a_failure", "<>", {kFound}, true, JobOutcome::kTurnedAway},
    // Whatever the log says, a job from a real sender is ordinary.
    {"ordinary", "bob@example.org", {kFound, kModified}, false, JobOutcome::kOrdinary},
    {"ordinary_empty_sender", "", {}, true, JobOutcome::kOrdinary},
    {"log_line_only_alike",
     "<>",
     {"MAIL FROM in autoreply modified"},
     false,
     JobOutcome::kNoHeader},
};

TEST(JudgeJob, FollowsTheSenderAndTheLog) {
    for (const JudgeCase& c : kJudgeCases) {
        SCOPED_TRACE(c.name);
        JobRecord record;
        for (const char* text : c.logged) {
            record.logs.push_back(LogEntry{10, 25, text});
        }
        if (c.serverFailed) {
            record.serverFailures.push_back("cannot write the temporary copy");
        }
        EXPECT_EQ(JudgeJob(record, c.sender), c.outcome);
    }
}

// The status a run ends with, from what its messages came to: a lost
// replacement above an unreadable message above one not examined; the
// outcomes a script can act on end well.
TEST(RunTotals, EndTheRunWithTheGravestStatus) {
    struct Case {
        const char* name;
        std::vector<JobOutcome> outcomes;
        bool saveFailed;
        int code;
    };
    const Case cases[] = {
        {"nothing", {}, false, 0},
        {"each_examined",
         {JobOutcome::kRewritten, JobOutcome::kUnable, JobOutcome::kTurnedAway,
          JobOutcome::kNoHeader, JobOutcome::kOrdinary, JobOutcome::kNotMail},
         false,
         0},
        {"unexamined", {JobOutcome::kRewritten, JobOutcome::kUnexamined}, false, 6},
        {"too_large", {JobOutcome::kTooLarge, JobOutcome::kRewritten}, false, 6},
        {"unreadable_over_unexamined",
         {JobOutcome::kUnexamined, JobOutcome::kUnreadable, JobOutcome::kTooLarge},
         false,
         3},
        {"lost_replacement_over_all", {JobOutcome::kUnreadable}, true, 5},
        {"lost_replacement_alone", {JobOutcome::kRewritten}, true, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunTotals totals;
        for (JobOutcome outcome : c.outcomes) {
            ++totals.outcomes[static_cast<std::size_t>(outcome)];
        }
        totals.saveFailed = c.saveFailed;
        EXPECT_EQ(ExitCode(totals.Status()), c.code);
    }
}

// Text through the CR LF writer, read back from the file it went to.
class TextOutputTest : public ::testing::Test {
  protected:
    std::string Written(bool crlf, const std::vector<std::string>& pieces, bool syncBetween) {
        const std::string path = UniqueTempPath(8000 + serial_++) + ".txt";
        OutputFile file;
        std::string reason;
        EXPECT_TRUE(CreateReportFile(path, &file, &reason)) << reason;
        {
            TextOutput output(file, crlf);
            for (const std::string& piece : pieces) {
                output.Stream() << piece;
                if (syncBetween) {
                    output.Stream().flush();
                }
            }
            EXPECT_TRUE(output.Buffer().Close(&reason)) << reason;
        }
        std::string content;
        EXPECT_TRUE(ReadWholeFile(path, &content, &reason)) << reason;
        std::remove(path.c_str());
        return content;
    }
    static unsigned serial_;
};
unsigned TextOutputTest::serial_ = 0;

// Every line end becomes CR LF, one that has its CR already too, also when
// the CR and the LF arrive in different writes: never CR CR LF.
TEST_F(TextOutputTest, LineEndsBecomeCrLfOnceAcrossWrites) {
    for (bool sync : {false, true}) {
        SCOPED_TRACE(sync ? "flushed between writes" : "one flush");
        EXPECT_EQ(Written(true, {"a\n", "b\r\n", "c\r", "\nd", "\n"}, sync),
                  "a\r\nb\r\nc\r\nd\r\n");
        EXPECT_EQ(Written(false, {"a\n", "b\r\n", "c\r", "\n"}, sync), "a\nb\r\nc\r\n");
    }
}

// A write that fails shows on the stream at its next flush, and in Close.
TEST_F(TextOutputTest, AFailedWriteIsReported) {
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) {
        GTEST_SKIP() << "no /dev/full here";
    }
    const OutputFile file{fileno(full), false, false};
    TextOutput output(file, true);
    output.Stream() << "lost\n";
    output.Stream().flush();
    EXPECT_TRUE(output.Stream().bad());
    std::string reason;
    EXPECT_FALSE(output.Buffer().Close(&reason));
    EXPECT_FALSE(reason.empty());
    std::fclose(full);
}

} // namespace
