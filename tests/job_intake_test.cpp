// DAEMON: which jobs are taken up, the temporary message copy, the
// originator check and the outcome logged to the host.
#include "tests/support/module_fixture.h"

#include <algorithm>
#include <utility>

namespace {

constexpr const char* kModified = "MAIL FROM in autoreply modified by daemon";
constexpr const char* kNotModified = "Unable to modify MAIL FROM in autoreply";

using JobIntakeTest = ModuleTest;

// Anything but the exact two characters "<>" is an ordinary job.
TEST_F(JobIntakeTest, OrdinarySendersAreLeftAlone) {
    // Two characters that end like "<>" but start otherwise, too.
    const char* const senders[] = {
        "", "bob@example.org", "< >", "<> ", " <>", "<<>>", "<", "><", "x>", ">>"};
    for (const char* sender : senders) {
        SCOPED_TRACE(std::string("sender '") + sender + "'");
        const std::size_t callsBefore = host.calls.size();
        JobHandle job = AddJob(Autoreply("bob@example.org"), sender);

        EXPECT_EQ(RunDaemon(job), 0);
        EXPECT_TRUE(host.logs.empty());
        EXPECT_TRUE(host.tempFiles.empty());
        // Only the job record was looked at.
        EXPECT_EQ(host.calls.size(), callsBefore + 1);
        EXPECT_EQ(host.calls.back(), "HostGetJobInfo");
    }
}

TEST_F(JobIntakeTest, RecordLeftUnfilledCountsAsOrdinaryJob) {
    host.faults.jobInfoUntouched = true;
    EXPECT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org"))), 0);
    EXPECT_TRUE(host.tempFiles.empty());
}

struct MissingHeaderCase {
    const char* name;
    HeaderAnswer answer;
    const char* message;
};

const MissingHeaderCase kMissingHeaderCases[] = {
    {"no_header", HeaderAnswer::kFromMessage, "From: bob@example.org\n\nbody\n"},
    {"empty_header", HeaderAnswer::kFromMessage, "X-Autoreply-From:\n\nbody\n"},
    {"host_answers_null", HeaderAnswer::kNull, "X-Autoreply-From: bob@example.org\n\nbody\n"},
    {"host_answers_empty", HeaderAnswer::kEmpty, "X-Autoreply-From: bob@example.org\n\nbody\n"},
};

// Without a usable header the job is left alone silently, but the copy of
// the message must not stay on disk.
TEST_F(JobIntakeTest, WithoutHeaderValueNothingIsLoggedAndTheCopyIsDeleted) {
    for (const MissingHeaderCase& c : kMissingHeaderCases) {
        SCOPED_TRACE(c.name);
        host.faults.headerAnswer = c.answer;
        const std::size_t filesBefore = host.tempFiles.size();

        EXPECT_EQ(RunDaemon(AddJob(c.message)), 0);
        EXPECT_TRUE(host.logs.empty());
        ASSERT_EQ(host.tempFiles.size(), filesBefore + 1);
        EXPECT_EQ(DeletedPaths().back(), host.tempFiles.back());
        EXPECT_TRUE(host.CreatedJobs().empty());
    }
}

// Also when the host's path fills all 128 bytes of the buffer, leaving no
// room for a terminator: the path is read as those 128 bytes.
TEST_F(JobIntakeTest, TemporaryCopyHoldsTheJobAndIsDeletedAfterReading) {
    for (bool pathFillsBuffer : {false, true}) {
        SCOPED_TRACE(pathFillsBuffer ? "path fills the buffer" : "short path");
        StandInServer fresh;
        fresh.faults.tempPathFillsBuffer = pathFillsBuffer;
        ClearDeletedPaths();
        EXPECT_EQ(RunAutoreply(fresh, Autoreply("bob@example.org")), 1);
        ASSERT_EQ(fresh.tempFiles.size(), 1u);
        EXPECT_EQ(fresh.tempFiles[0].size() == 128, pathFillsBuffer);
        EXPECT_EQ(DeletedPaths(), std::vector<std::string>{fresh.tempFiles[0]});
        EXPECT_EQ(fresh.messagesOpened, 1);
        EXPECT_EQ(fresh.messagesClosed, 1);
        ExpectHostClean(fresh);
    }
}

TEST_F(JobIntakeTest, UnopenableMessageFileStopsAndStillDeletesTheCopy) {
    host.faults.openMessageFails = true;
    EXPECT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org"))), 0);
    EXPECT_TRUE(host.logs.empty());
    ASSERT_EQ(host.tempFiles.size(), 1u);
    EXPECT_EQ(DeletedPaths(), std::vector<std::string>{host.tempFiles[0]});
    EXPECT_FALSE(Called("HostFindHeader"));
}

struct RejectionCase {
    const char* name;
    bool extractFails;
    std::uint32_t checkResult;
    std::uint32_t verifyResult;
    std::vector<std::string> expectedTests; // address services called, in order
};

// A truth answer counts by its low byte only: 0x100 is "no", 0xFFFFFF01 "yes".
const RejectionCase kRejectionCases[] = {
    {"extract_finds_nothing", true, 1, 1, {"HostExtractAddress"}},
    {"check_says_no", false, 0, 1, {"HostExtractAddress", "HostCheckAddress"}},
    {"check_says_no_in_low_byte", false, 0x100, 1, {"HostExtractAddress", "HostCheckAddress"}},
    {"verify_says_no",
     false,
     0xFFFFFF01u,
     0,
     {"HostExtractAddress", "HostCheckAddress", "HostVerifyAddress"}},
    {"verify_says_no_in_low_byte",
     false,
     1,
     0xFFFFFF00u,
     {"HostExtractAddress", "HostCheckAddress", "HostVerifyAddress"}},
};

TEST_F(JobIntakeTest, RejectedOriginatorLogsOnlyTheFoundLine) {
    for (const RejectionCase& c : kRejectionCases) {
        SCOPED_TRACE(c.name);
        StandInServer fresh;
        fresh.faults.extractFails = c.extractFails;
        fresh.faults.checkResult = c.checkResult;
        fresh.faults.verifyResult = c.verifyResult;
        EXPECT_EQ(RunAutoreply(fresh, Autoreply("Bob <bob@example.org>")), 0);
        ASSERT_EQ(fresh.logs.size(), 1u);
        EXPECT_EQ(fresh.logs[0].text, "Autoreply from Bob <bob@example.org> found");
        EXPECT_EQ(fresh.logs[0].code, 25);
        std::vector<std::string> addressCalls;
        for (const std::string& call : fresh.calls) {
            if (call.find("Address") != std::string::npos) {
                addressCalls.push_back(call);
            }
        }
        EXPECT_EQ(addressCalls, c.expectedTests);
        EXPECT_TRUE(fresh.CreatedJobs().empty());
        ExpectHostClean(fresh);
    }
}

TEST_F(JobIntakeTest, AcceptedAutoreplyIsResentUnderTheConfiguredSender) {
    StoreMessageIdDomain("mail.example.org");
    SetFakeClock(987);
    JobHandle job = AddJob(Autoreply("Bob <bob@example.org>"), kNullSender,
                           {"alice@example.net", "carol@example.com"});

    EXPECT_EQ(RunDaemon(job), 1);

    EXPECT_EQ(LogTexts(),
              (std::vector<std::string>{"Autoreply from Bob <bob@example.org> found", kModified}));
    for (const LogEntry& entry : host.logs) {
        EXPECT_EQ(entry.facility, 10);
        EXPECT_EQ(entry.code, 25);
    }
    const HostJob& created = OnlyCreatedJob();
    EXPECT_EQ(created.sender, kConfiguredSender);
    EXPECT_EQ(created.recipients,
              (std::vector<std::string>{"alice@example.net", "carol@example.com"}));
    EXPECT_EQ(created.Lines(), (std::vector<std::string>{
                                   "Message-ID: <ar987@mail.example.org>\r\n",
                                   "From: bob@example.org\r\n",
                                   "X-Autoreply-From: Bob <bob@example.org>\r\n",
                                   "\r\n",
                                   "body line\r\n",
                               }));
    EXPECT_TRUE(created.closed);
    EXPECT_TRUE(created.released);
}

// The header value is the sender's text: control bytes in it are shown as
// '?' in the log, so that nobody can write log lines of their own; the
// address tests still get the value exactly as found.
TEST_F(JobIntakeTest, ControlBytesInTheValueNeverReachTheLog) {
    struct Case {
        const char* name;
        std::string value;
        std::string logged;
    };
    const std::string forged = "bob@example.org\r\nMAIL FROM in autoreply modified by daemon";
    const Case cases[] = {
        {"plain", "Bob <bob@example.org>", "Bob <bob@example.org>"},
        {"forged_line", forged, "bob@example.org??MAIL FROM in autoreply modified by daemon"},
        {"tab_delete_and_escape",
         "a\tb\x7f"
         "c\x1b"
         "d@x.y",
         "a?b?c?d@x.y"},
        {"first_and_last_control", std::string("\x01") + "a@b.c\x1f", "?a@b.c?"},
        {"eight_bit_kept", "J\xc3\xbcrgen <j@x.y> \x80\xff", "J\xc3\xbcrgen <j@x.y> \x80\xff"},
        {"shorter_than_the_suffix", "a@b", "a@b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInServer fresh;
        fresh.faults.headerAnswer = HeaderAnswer::kHostOwnedString;
        fresh.faults.hostOwnedHeader = c.value;
        fresh.faults.extractFails = true; // one log line, then stop
        EXPECT_EQ(RunAutoreply(fresh, Autoreply("unused@example.org")), 0);
        ASSERT_EQ(fresh.logs.size(), 1u);
        EXPECT_EQ(fresh.logs[0].text, "Autoreply from " + c.logged + " found");
        ASSERT_EQ(fresh.extractedTexts.size(), 1u);
        EXPECT_EQ(fresh.extractedTexts[0], c.value);
        ExpectHostClean(fresh);
    }
}

TEST_F(JobIntakeTest, FailedReplacementLogsTheFailureLine) {
    struct Case {
        const char* name;
        bool createFails;
        std::int32_t closeResult;
        std::size_t fillAtLine;
        std::string extra = "";    // header lines of the message
        bool keepLineEnds = false; // a bare LF stays one byte
    };
    // A line holding a NUL byte cannot be passed on whole; taken for a piece
    // of a long line, the next line would be glued to it unjudged.
    const std::string nulLine("Subject: odd\0byte\n", 18);
    const Case cases[] = {
        {"create_fails", true, 1, SIZE_MAX},
        {"close_returns_zero", false, 0, SIZE_MAX},
        {"close_returns_negative", false, -1, SIZE_MAX},
        {"read_line_fills_buffer", false, 1, 1},
        {"line_holds_a_nul_byte", false, 1, SIZE_MAX, nulLine + "Message-ID: <old2@x>\n"},
        // The NUL right before the line's one last byte still stops the copy.
        {"nul_right_before_a_bare_line_feed", false, 1, SIZE_MAX,
         std::string("Subject: hi\0\n", 13) + "Message-ID: <old2@x>\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInServer fresh;
        fresh.faults.createJobFails = c.createFails;
        fresh.faults.closeResult = c.closeResult;
        fresh.faults.fillBufferAtLine = c.fillAtLine;
        fresh.faults.keepLineEnds = c.keepLineEnds;
        EXPECT_EQ(RunAutoreply(fresh, Autoreply("bob@example.org", c.extra)), 0);
        ASSERT_EQ(fresh.logs.size(), 2u);
        EXPECT_EQ(fresh.logs[0].text, "Autoreply from bob@example.org found");
        EXPECT_EQ(fresh.logs[1].text, kNotModified);
        ExpectHostClean(fresh);
        EXPECT_EQ(fresh.CreatedJobs().size(), c.createFails ? 0u : 1u);
    }
}

// A value longer than the host's buffer, handed over in the host's own
// memory, reaches the address tests and the log whole.
TEST_F(JobIntakeTest, LongHeaderValueIsHandedOnWhole) {
    const std::string longValue = std::string(300, 'x') + "@example.org";
    host.faults.headerAnswer = HeaderAnswer::kHostOwnedString;
    host.faults.hostOwnedHeader = longValue;

    EXPECT_EQ(RunDaemon(AddJob(Autoreply("ignored@example.org"))), 1);
    EXPECT_EQ(host.extractedTexts, std::vector<std::string>{longValue});
    ASSERT_FALSE(host.logs.empty());
    EXPECT_EQ(host.logs[0].text, "Autoreply from " + longValue + " found");
}

// A host that fills the whole 256-byte value buffer without a terminator
// must not make the module read past it.
TEST_F(JobIntakeTest, HeaderBufferFilledWithoutTerminatorIsReadAsItsFullLength) {
    host.faults.headerAnswer = HeaderAnswer::kFillBuffer;
    EXPECT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org"))), 0);
    ASSERT_EQ(host.extractedTexts.size(), 1u);
    EXPECT_EQ(host.extractedTexts[0], std::string(256, 'a'));
}

struct SenderCase {
    const char* name;
    const char* sender; // the daemon's parameter
    bool sent;
};

// Under an empty sender or the null reverse-path (spaces and tabs around
// it aside) a replacement would be an automatic reply again, so none is
// made. Any other sender is used as it is, also one that start-up would
// refuse as too short.
const SenderCase kSenderCases[] = {
    {"configured", kConfiguredSender, true},
    {"too_short_for_startup", "a@b.c", true},
    {"inner_space", "< >", true},
    {"two_characters_ending_like_it", "x>", true},
    {"null", nullptr, false},
    {"empty", "", false},
    {"null_reverse_path", "<>", false},
    // Servers trim the white space around an address: these are "<>" too.
    {"blank", " \t", false},
    {"spaced_null_reverse_path", " <>", false},
    {"null_reverse_path_with_tabs", "\t<>\t", false},
    {"null_reverse_path_then_space", "<> ", false},
};

// What DAEMON must have done for an accepted autoreply under `c.sender`.
void ExpectOutcomeForSender(const StandInServer& host, const SenderCase& c, std::int32_t result) {
    ExpectHostClean(host); // a mail loop shows up here
    EXPECT_EQ(result, c.sent ? 1 : 0);
    ASSERT_EQ(host.logs.size(), 2u);
    EXPECT_EQ(host.logs[0].text, "Autoreply from bob@example.org found");
    EXPECT_EQ(host.logs[1].text, c.sent ? kModified : kNotModified);
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "HostCreateJob"), c.sent ? 1 : 0);
    const std::vector<const HostJob*> created = host.CreatedJobs();
    ASSERT_EQ(created.size(), c.sent ? 1u : 0u);
    if (c.sent) {
        EXPECT_EQ(created[0]->sender, c.sender);
        const std::vector<std::string> lines = created[0]->Lines();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
                  (std::vector<std::string>{"From: bob@example.org\r\n",
                                            "X-Autoreply-From: bob@example.org\r\n", "\r\n",
                                            "body line\r\n"}));
    }
}

// The same with a real server's habit: it passes the jobs we submit through
// its daemons again, at once or later from its queue. A replacement is then
// no automatic reply and is left alone at the first look; under a sender
// that cannot carry one, none is made. Either way the server never loops
// (our host reports a replacement of a replacement as a mail loop). The
// server has a domain of its own, so that senders without one are judged
// here by what they are, not by the Message-ID they could not give.
TEST_F(JobIntakeTest, ReplacementsOnlyUnderASenderThatCanCarryThemAndNeverLoop) {
    StoreMessageIdDomain("mail.example.org");
    const std::pair<FeedBack, const char*> feedBacks[] = {{FeedBack::kNever, "not fed back"},
                                                          {FeedBack::kInsideClose, "inside close"},
                                                          {FeedBack::kFromQueue, "from queue"}};
    for (const auto& [feedBack, when] : feedBacks) {
        for (const SenderCase& c : kSenderCases) {
            SCOPED_TRACE(std::string(c.name) + ", " + when);
            StandInServer fresh;
            fresh.faults.feedBack = feedBack;
            fresh.faults.feedBackDaemon = &DAEMON;
            fresh.faults.feedBackSender = c.sender;
            JobHandle job = fresh.AddIncomingJob(kNullSender, {"alice@example.net"},
                                                 Autoreply("bob@example.org"));
            const std::int32_t result = DAEMON(job, fresh.Block(), nullptr, c.sender);
            fresh.RunQueuedJobs();

            // The outer call as without feeding back; the replacement, seen
            // again, is an ordinary job: 0, no log line, no temporary file.
            ExpectOutcomeForSender(fresh, c, result);
            const bool fedBack = c.sent && feedBack != FeedBack::kNever;
            EXPECT_EQ(fresh.fedBackResults,
                      fedBack ? std::vector<std::int32_t>{0} : std::vector<std::int32_t>{});
            EXPECT_EQ(fresh.tempFiles.size(), 1u);
        }
    }
}

TEST_F(JobIntakeTest, NullBlockReturnsZero) {
    JobHandle job = AddJob(Autoreply("bob@example.org"));
    EXPECT_EQ(DAEMON(job, nullptr, nullptr, kConfiguredSender), 0);
}

TEST_F(JobIntakeTest, IncomingJobIsNeverClosedOrReleased) {
    EXPECT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org"))), 1);
    // The stand-in server reports closing or releasing a job the module did
    // not create as a violation, which TearDown checks.
    EXPECT_EQ(host.CreatedJobs().size(), 1u);
}

// Services missing from the block are failures, not jumps to address zero.
TEST_F(JobIntakeTest, MissingServicesEndInZero) {
    const std::size_t offsets[] = {kHostGetJobInfoOffset, kHostOpenMessageFileOffset,
                                   kHostFindHeaderOffset, kHostExtractAddressOffset,
                                   kHostCreateJobOffset,  kHostCloseJobOffset};
    for (std::size_t offset : offsets) {
        SCOPED_TRACE(offset);
        StandInServer fresh;
        fresh.faults.missingServices = {offset};
        EXPECT_EQ(RunAutoreply(fresh, Autoreply("bob@example.org")), 0);
        ExpectHostClean(fresh);
    }
}

} // namespace
