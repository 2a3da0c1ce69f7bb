// The replacement job: recipients, the new Message-ID, the copied lines and
// the hand-over to the host, driven through DAEMON.
#include "tests/support/module_fixture.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

using ReplacementTest = ModuleTest;

// Lines of the replacement after its new Message-ID line.
std::vector<std::string> CopiedLines(const HostJob& job) {
    const std::vector<std::string> lines = job.Lines();
    if (lines.empty()) {
        return {};
    }
    return std::vector<std::string>(lines.begin() + 1, lines.end());
}

struct CopyCase {
    const char* name;
    const char* message;
    std::vector<std::string> copied;
};

const CopyCase kCopyCases[] = {
    {"without_message_id_copied_whole",
     "X-Autoreply-From: bob@example.org\nSubject: away\n\nback soon\n",
     {"X-Autoreply-From: bob@example.org\r\n", "Subject: away\r\n", "\r\n", "back soon\r\n"}},
    {"other_letter_case_dropped",
     "Message-Id: <a@x>\nX-Autoreply-From: bob@example.org\n\nbody\n",
     {"X-Autoreply-From: bob@example.org\r\n", "\r\n", "body\r\n"}},
    {"folded_dropped_whole",
     "Message-ID:\n <a@x>\nX-Autoreply-From: bob@example.org\nSubject: a\n b\n\nbody\n",
     {"X-Autoreply-From: bob@example.org\r\n", "Subject: a\r\n", " b\r\n", "\r\n", "body\r\n"}},
    {"body_message_id_kept",
     "X-Autoreply-From: bob@example.org\n\nMessage-ID: <quoted@x>\nmessage-id: <y>\n",
     {"X-Autoreply-From: bob@example.org\r\n", "\r\n", "Message-ID: <quoted@x>\r\n",
      "message-id: <y>\r\n"}},
    {"two_old_ids_both_dropped",
     "Message-ID: <a@x>\nX-Autoreply-From: bob@example.org\nMESSAGE-ID: <b@x>\n\nbody\n",
     {"X-Autoreply-From: bob@example.org\r\n", "\r\n", "body\r\n"}},
    {"look_alike_fields_kept",
     "Xessage-ID: <a@x>\nMessage-IDs: <b@x>\nX-Autoreply-From: bob@example.org\n\nbody\n",
     {"Xessage-ID: <a@x>\r\n", "Message-IDs: <b@x>\r\n", "X-Autoreply-From: bob@example.org\r\n",
      "\r\n", "body\r\n"}},
};

// From a host that ends each line with a terminator, and from one that
// writes only the line's bytes and relies on the cleared buffer for it.
TEST_F(ReplacementTest, CopiesTheMessageWithoutItsOldMessageId) {
    for (bool lineBytesOnly : {false, true}) {
        for (const CopyCase& c : kCopyCases) {
            SCOPED_TRACE(std::string(c.name) + (lineBytesOnly ? ", line bytes only" : ""));
            StandInServer fresh;
            fresh.faults.lineBytesOnly = lineBytesOnly;
            ASSERT_EQ(RunAutoreply(fresh, c.message), 1);
            const std::vector<const HostJob*> created = fresh.CreatedJobs();
            ASSERT_EQ(created.size(), 1u);
            EXPECT_EQ(CopiedLines(*created[0]), c.copied);
            ExpectHostClean(fresh);
        }
    }
}

// Mail stored with bare LF line ends, read as it is: neither an empty line
// nor the LF of a 9999-byte line, arriving as a piece of its own, is taken
// for an empty read or for text inside a line. The old Message-ID after
// them goes; a quoted one in the body stays.
TEST_F(ReplacementTest, CopiesMailWithBareLineFeeds) {
    const std::string longLine = "X-Long: " + std::string(9999 - 8, 'l') + "\n";
    const std::string message = longLine + "Message-ID: <old@x>\n" +
                                "X-Autoreply-From: bob@example.org\n\nMessage-ID: <quoted@x>\n";
    host.faults.keepLineEnds = true;
    ASSERT_EQ(RunDaemon(AddJob(message)), 1);
    std::string copied;
    for (const std::string& line : CopiedLines(OnlyCreatedJob())) {
        copied += line;
    }
    EXPECT_EQ(copied, longLine + "X-Autoreply-From: bob@example.org\n\nMessage-ID: <quoted@x>\n");
}

TEST_F(ReplacementTest, MessageIdLineComesFirstWithClockAndDomain) {
    StoreMessageIdDomain("mx.example.org");
    SetFakeClock(4242);
    ASSERT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org"))), 1);
    ASSERT_FALSE(OnlyCreatedJob().Lines().empty());
    EXPECT_EQ(OnlyCreatedJob().Lines()[0], "Message-ID: <ar4242@mx.example.org>\r\n");
}

// A server without a domain setting: "<ar7@>" is no valid Message-ID, so
// the configured sender's domain stands in. A sender without one gives
// no replacement at all (messageId null): the job stays the server's, the
// log says the change failed.
TEST_F(ReplacementTest, WithoutADomainTheSendersDomainIsTaken) {
    struct Case {
        const char* storedDomain;
        const char* sender;
        const char* messageId; // null: no replacement is made
    };
    const Case cases[] = {
        {"mx.example.org", "relay@example.org", "<ar7@mx.example.org>"},
        {"", "relay@example.org", "<ar7@example.org>"},
        {"", "<relay@mx.example.net>", "<ar7@mx.example.net>"},
        {"", "\"a@b\"@example.com> \t", "<ar7@example.com>"},
        {"", "relay-without-domain", nullptr},
        {"", "relay@", nullptr},
        {"", "relay@ \t", nullptr},
        {"", "<relay@>", nullptr},
        // The server's domain still serves a sender without one.
        {"mx.example.org", "relay-without-domain", "<ar7@mx.example.org>"},
        // A one-character domain is copied too, not left as the bytes the
        // allocation happened to hold.
        {"", "autoreply@x", "<ar7@x>"},
        {"", "ar@b>", "<ar7@b>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sender);
        ResetMessageIdSequence();
        StoreMessageIdDomain(c.storedDomain);
        SetFakeClock(7);
        StandInServer fresh;
        JobHandle job = fresh.AddIncomingJob(kNullSender, {"a@x.y"}, Autoreply("bob@example.org"));
        if (c.messageId == nullptr) {
            EXPECT_EQ(DAEMON(job, fresh.Block(), nullptr, c.sender), 0);
            EXPECT_TRUE(fresh.CreatedJobs().empty());
            ASSERT_EQ(fresh.logs.size(), 2u);
            EXPECT_EQ(fresh.logs[0].text, "Autoreply from bob@example.org found");
            EXPECT_EQ(fresh.logs[1].text, "Unable to modify MAIL FROM in autoreply");
        } else {
            ASSERT_EQ(DAEMON(job, fresh.Block(), nullptr, c.sender), 1);
            EXPECT_EQ(fresh.CreatedJobs().at(0)->Lines().at(0),
                      std::string("Message-ID: ") + c.messageId + "\r\n");
        }
        ExpectHostClean(fresh);
    }
}

// Numbers through the whole module: same millisecond, and the wrap.
TEST_F(ReplacementTest, ReplacementsGetDistinctIdsAcrossTheWrap) {
    StoreMessageIdDomain("d");
    const std::uint32_t clock[] = {4294967294u, 4294967294u, 4294967295u, 0, 0};
    const char* const expected[] = {"<ar4294967294@d>", "<ar4294967295@d>", "<ar0@d>", "<ar1@d>",
                                    "<ar2@d>"};
    for (std::size_t i = 0; i < sizeof(clock) / sizeof(clock[0]); ++i) {
        SetFakeClock(clock[i]);
        ASSERT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org"))), 1);
    }
    const std::vector<const HostJob*> created = host.CreatedJobs();
    ASSERT_EQ(created.size(), 5u);
    for (std::size_t i = 0; i < created.size(); ++i) {
        EXPECT_EQ(created[i]->Lines().at(0), std::string("Message-ID: ") + expected[i] + "\r\n");
    }
}

TEST_F(ReplacementTest, RecipientsCopiedInOrderUntilEitherEndMarker) {
    const std::vector<std::string> recipients = {"a@example.net", "b@example.net", "c@example.net"};
    for (RecipientListEnd end : {RecipientListEnd::kNullPointer, RecipientListEnd::kEmptyString}) {
        StandInServer fresh;
        fresh.faults.recipientListEnd = end;
        ASSERT_EQ(RunAutoreply(fresh, Autoreply("bob@example.org"), recipients), 1);
        ASSERT_EQ(fresh.CreatedJobs().size(), 1u);
        EXPECT_EQ(fresh.CreatedJobs()[0]->recipients, recipients);
        ExpectHostClean(fresh);
    }
}

TEST_F(ReplacementTest, NoRecipientsStillGivesAClosedAndReleasedJob) {
    ASSERT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org"), kNullSender, {})), 1);
    EXPECT_TRUE(OnlyCreatedJob().recipients.empty());
    EXPECT_TRUE(OnlyCreatedJob().closed);
    EXPECT_TRUE(OnlyCreatedJob().released);
}

// The order of the host calls is part of the contract: the clock is read
// after the recipients, the Message-ID is the first text, and the job is
// released after it is closed.
TEST_F(ReplacementTest, CallsTheHostInOrder) {
    ASSERT_EQ(RunDaemon(AddJob("X-Autoreply-From: bob@example.org\n", kNullSender, {"a@x.y"})), 1);
    const auto create = std::find(host.calls.begin(), host.calls.end(), "HostCreateJob");
    EXPECT_EQ(std::vector<std::string>(create, host.calls.end()),
              (std::vector<std::string>{
                  "HostCreateJob", "HostNextRecipient", "HostAddRecipient", "HostNextRecipient",
                  kClockReadCall, "HostWriteLine", "HostRewindJob", "HostReadLine", "HostWriteLine",
                  "HostReadLine", "HostCloseJob", "HostReleaseJob", "HostLog"}));
}

TEST_F(ReplacementTest, FailedCreateCallsNothingElse) {
    host.faults.createJobFails = true;
    EXPECT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org"))), 0);
    const auto create = std::find(host.calls.begin(), host.calls.end(), "HostCreateJob");
    ASSERT_NE(create, host.calls.end());
    EXPECT_EQ(std::vector<std::string>(create + 1, host.calls.end()),
              std::vector<std::string>{"HostLog"});
}

// A line of 9999 bytes fits the host's buffer with its terminator; a longer
// one comes in pieces from an fgets-style host and is copied whole, piece by
// piece. From a host that cuts it instead (the buffer full, no terminator)
// the copy stops, and a cut message is never sent.
TEST_F(ReplacementTest, LongLinesAreCopiedInPiecesAndACutOneStopsTheCopy) {
    const std::string fits = std::string(9997, 'x') + "\n"; // 9999 bytes with CR LF
    const std::string tooLong = std::string(12000, 'y') + "\n";

    ASSERT_EQ(RunDaemon(AddJob(Autoreply("bob@example.org", fits + tooLong))), 1);
    std::string copied;
    for (const std::string& line : OnlyCreatedJob().Lines()) {
        copied += line;
    }
    EXPECT_NE(copied.find(std::string(9997, 'x') + "\r\n" + std::string(12000, 'y') + "\r\n"),
              std::string::npos);

    StandInServer fresh;
    fresh.faults.cutLongLines = true;
    EXPECT_EQ(RunAutoreply(fresh, Autoreply("bob@example.org", tooLong)), 0);
    ASSERT_EQ(fresh.CreatedJobs().size(), 1u);
    EXPECT_FALSE(fresh.CreatedJobs()[0]->closed);
    EXPECT_TRUE(fresh.CreatedJobs()[0]->released);
    ExpectHostClean(fresh);
}

// A line too long for the buffer is judged once, by its first piece; its
// other pieces share that judgement and are never taken for lines of their
// own (an empty line ending the header, a Message-ID field). An empty read
// neither starts nor ends a line: what follows it is a line of its own.
TEST_F(ReplacementTest, PiecesOfALongLineShareItsFate) {
    const std::string longId = "Message-ID: <" + std::string(12000, 'i') + "@x>\n";
    const std::string exactly9999 = "X-Long: " + std::string(9999 - 8, 'l') + "\n";
    const std::string secondPieceLooksLikeId =
        "X-Other: " + std::string(9999 - 9, 'o') + "Message-ID: <not-a-field@x>\n";
    struct Case {
        const char* name;
        std::string headers;
        std::vector<std::string> copied; // whole copied lines after the new Message-ID
        std::size_t emptyReadBeforeLine = SIZE_MAX;
    };
    const Case cases[] = {
        {"long_old_id_dropped_whole", longId, {"X-Autoreply-From: bob@example.org\r\n"}},
        {"line_of_9999_then_old_id",
         exactly9999 + "Message-ID: <old@x>\n",
         {"X-Long: " + std::string(9999 - 8, 'l') + "\r\n",
          "X-Autoreply-From: bob@example.org\r\n"}},
        {"second_piece_starting_with_message_id_kept",
         secondPieceLooksLikeId,
         {"X-Other: " + std::string(9999 - 9, 'o') + "Message-ID: <not-a-field@x>\r\n",
          "X-Autoreply-From: bob@example.org\r\n"}},
        {"old_id_after_an_empty_read_dropped",
         "Subject: s\nMessage-ID: <old@x>\n",
         {"Subject: s\r\n", "X-Autoreply-From: bob@example.org\r\n"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInServer fresh;
        fresh.faults.emptyReadBeforeLine = c.emptyReadBeforeLine;
        ASSERT_EQ(RunAutoreply(fresh, c.headers + "X-Autoreply-From: bob@example.org\n\nbody\n"),
                  1);
        const HostJob& job = *fresh.CreatedJobs().at(0);
        std::string text;
        const std::vector<std::string> lines = job.Lines();
        for (std::size_t i = 1; i < lines.size(); ++i) {
            text += lines[i];
        }
        std::string expected;
        for (const std::string& line : c.copied) {
            expected += line;
        }
        EXPECT_EQ(text, expected + "\r\nbody\r\n");
        ExpectHostClean(fresh);
    }
}

// A host that writes junk after the terminator, up to the buffer's end,
// still handed over a whole line: it is copied up to its terminator.
TEST_F(ReplacementTest, JunkAfterTheTerminatorDoesNotStopTheCopy) {
    host.faults.junkAfterTerminatorAtLine = 2; // the body line
    ASSERT_EQ(RunDaemon(AddJob("X-Autoreply-From: bob@example.org\n\nhello\n")), 1);
    EXPECT_EQ(
        CopiedLines(OnlyCreatedJob()),
        (std::vector<std::string>{"X-Autoreply-From: bob@example.org\r\n", "\r\n", "hello\r\n"}));
}

TEST_F(ReplacementTest, CloseResultDecidesTheOutcome) {
    const std::int32_t results[] = {1, 2, 0x7FFFFFFF, 0, -1, INT32_MIN};
    for (std::int32_t closeResult : results) {
        SCOPED_TRACE(closeResult);
        StandInServer fresh;
        fresh.faults.closeResult = closeResult;
        EXPECT_EQ(RunAutoreply(fresh, Autoreply("bob@example.org")), closeResult > 0 ? 1 : 0);
        ASSERT_EQ(fresh.CreatedJobs().size(), 1u);
        EXPECT_TRUE(fresh.CreatedJobs()[0]->released);
        ExpectHostClean(fresh);
    }
}

} // namespace
