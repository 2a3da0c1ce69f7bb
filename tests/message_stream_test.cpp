// The messages of one input: a message file whole, a mailbox split at its
// separators, each message with the sender its separator names, and what
// the reader skipped noted; read in chunks of every size.
#include "platform/header_reader.h"
#include "platform/line_ends.h"
#include "runner/mailbox/mailbox_headers.h"
#include "runner/mailbox/mbox_separator.h"
#include "runner/mailbox/message_stream.h"
#include "standin/temp_files.h"
#include "tests/support/scratch_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <tuple>

namespace {

using Kind = StreamNote::Kind;

struct StreamCase {
    const char* name;
    std::string input;
    std::vector<std::string> texts;   // the messages, in order
    std::vector<std::string> senders; // their separator senders
    std::vector<Kind> notes;          // every note of the input, in order
    std::uint64_t maxSize = kNoMessageSizeLimit;
};

// Stands in `texts` for a message over the size limit, which has none.
const std::string kTooLarge = "(too large)";
const std::string kFromA = "From a@b Tue Dec  8 10:00:00 2026\n";
const std::string kFromC = "From c@d Tue Dec  8 10:00:00 2026\n";

// An mboxcl2 message: `headers`, a Content-Length: of `bodyLength` and
// the body.
std::string WithLength(const std::string& headers, std::size_t bodyLength,
                       const std::string& body) {
    return headers + "Content-Length: " + std::to_string(bodyLength) + "\n\n" + body;
}

const std::string kMmdf = "\x01\x01\x01\x01\n";
const std::string kMmdfCrlf = "\x01\x01\x01\x01\r\n";
const std::string kQuotedBody = "From b@c Tue Dec  8 10:00:00 2026\nx\n"; // a separator in a body

const StreamCase kStreamCases[] = {
    {"message_file_whole",
     "From: a@x\n\nFrom the start\n",
     {"From: a@x\n\nFrom the start\n"},
     {""},
     {}},
    {"empty_file", "", {""}, {""}, {}},
    {"mboxrd_quoting_and_senders",
     "From MAILER-DAEMON Tue Dec  8 10:00:00 2026\nSubject: 1\n\n>From here\n>>From there\n\n"
     "From bob@example.org Tue Dec  8 10:01:00 2026\nSubject: 2\n\nFrom-less\n\n"
     "From - Tue Dec  8 10:02:00 2026\nSubject: 3\n\nlast\n\n",
     {"Subject: 1\n\nFrom here\n>From there\n", "Subject: 2\n\nFrom-less\n",
      "Subject: 3\n\nlast\n"},
     {"<>", "bob@example.org", ""},
     {}},
    // A "From " line without a date is body text, after an empty line too.
    {"from_line_inside_a_paragraph",
     "From <> Tue Dec  8 10:00:00 2026\r\nSubject: a\r\n\r\nline\r\nFrom me\r\n\r\nFrom x@y "
     "Tue Dec  8 10:00:00 2026\r\nb\r\n",
     {"Subject: a\r\n\r\nline\r\nFrom me\r\n", "b\r\n"},
     {"<>", "x@y"},
     {}},
    {"empty_lines_kept_but_the_last",
     "From a@b Tue Dec  8 10:00:00 2026\n\n\nbody\n\n\n",
     {"\n\nbody\n\n"},
     {"a@b"},
     {}},
    {"from_monday_after_a_blank_line_is_body",
     "From a@b Tue Dec  8 10:00:00 2026\nS: 1\n\nFrom Monday: on leave\n\nFrom a@b in Dec\n",
     {"S: 1\n\nFrom Monday: on leave\n\nFrom a@b in Dec\n"},
     {"a@b"},
     {}},
    // Thunderbird writes the next separator right after the last line.
    {"thunderbird_without_blank_lines",
     "From - Tue Dec  8 16:29:35 2026\r\nS: a\r\n\r\nbody\r\nFrom - Tue Dec  8 16:30:00 "
     "2026\r\nS: b\r\n\r\nx\r\n",
     {"S: a\r\n\r\nbody\r\n", "S: b\r\n\r\nx\r\n"},
     {"", ""},
     {}},
    {"date_forms",
     "From a@b Tue Dec 8 10:00:00 2026\n1\n"
     "From <> Tue Dec  8 10:00 2026\n2\n"
     "From c@d Tue Dec 08 10:00:00 +0000 2026\n3\n"
     "From e@f Tue Dec  8 10:00:00 2026 -0500\n4\n"
     "From g@h Tue Dec  8 10:00:00 UTC 2026\n5\n"
     "From \"i j\"@k Tue Dec  8 10:00:00 MET DST 2026  \n6\n",
     {"1\n", "2\n", "3\n", "4\n", "5\n", "6\n"},
     {"a@b", "<>", "c@d", "e@f", "g@h", "\"i j\"@k"},
     {}},
    {"separator_at_the_end_without_line_end",
     "From a@b Tue Dec  8 10:00:00 2026\nx\n\nFrom c@d Tue Dec  8 10:00:00 2026",
     {"x\n", ""},
     {"a@b", "c@d"},
     {}},
    {"bom_and_blank_lines_before_the_first_separator",
     "\xEF\xBB\xBF\n\r\nFrom a@b Tue Dec  8 10:00:00 2026\nx\n",
     {"x\n"},
     {"a@b"},
     {Kind::kByteOrderMark, Kind::kLeadingBlankLines}},
    {"content_length_over_a_separator",
     "From a@b Tue Dec  8 10:00:00 2026\n" + WithLength("S: 1\n", kQuotedBody.size(), kQuotedBody) +
         "\nFrom c@d Tue Dec  8 10:00:00 2026\nS: 2\n",
     {WithLength("S: 1\n", kQuotedBody.size(), kQuotedBody), "S: 2\n"},
     {"a@b", "c@d"},
     {}},
    // Verbatim: no unquoting, every blank line its own.
    {"content_length_to_the_end",
     "From a@b Tue Dec  8 10:00:00 2026\n" + WithLength("", 10, ">From x\n\n\n"),
     {WithLength("", 10, ">From x\n\n\n")},
     {"a@b"},
     {}},
    {"content_length_to_the_end_and_a_blank_line",
     "From a@b Tue Dec  8 10:00:00 2026\n" + WithLength("", 8, ">From x\n\n"),
     {WithLength("", 8, ">From x\n")},
     {"a@b"},
     {}},
    {"content_length_to_an_end_without_line_end",
     "From a@b Tue Dec  8 10:00:00 2026\n" + WithLength("", 9, "x\n>From y"),
     {WithLength("", 9, "x\n>From y")},
     {"a@b"},
     {}},
    {"content_length_mid_line_ignored",
     "From a@b Tue Dec  8 10:00:00 2026\n" + WithLength("", 4, kQuotedBody) + "\n",
     {"Content-Length: 4\n", "x\n"},
     {"a@b", "b@c"},
     {Kind::kIgnoredContentLength}},
    {"content_length_past_the_end_ignored",
     "From a@b Tue Dec  8 10:00:00 2026\n" + WithLength("", 90, ">From x\n"),
     {WithLength("", 90, "From x\n")},
     {"a@b"},
     {Kind::kIgnoredContentLength}},
    {"content_length_on_a_plain_line_ignored",
     "From a@b Tue Dec  8 10:00:00 2026\n" + WithLength("", 2, "x\ny\n"),
     {WithLength("", 2, "x\ny\n")},
     {"a@b"},
     {Kind::kIgnoredContentLength}},
    {"deleted_messages_skipped",
     "From a@b Tue Dec  8 10:00:00 2026\nX-Mozilla-Status: 0009\n\n1\n\n"
     "From a@b Tue Dec  8 10:00:00 2026\nx-mozilla-status:0001\n\nX-Mozilla-Status: 0008\n\n"
     "From a@b Tue Dec  8 10:00:00 2026\nX-Mozilla-Status: 000F\n",
     {"x-mozilla-status:0001\n\nX-Mozilla-Status: 0008\n"},
     {"a@b"},
     {Kind::kDeletedMessage, Kind::kDeletedMessage}},
    {"mmdf",
     kMmdf + "From a@b Tue Dec  8 10:00:00 2026\nS: 1\n\n>From x\n" + kMmdf + kMmdf + "S: 2\n" +
         kMmdf,
     {"S: 1\n\n>From x\n", "S: 2\n"},
     {"a@b", ""},
     {}},
    {"mmdf_crlf_stray_unclosed_and_deleted",
     "\n" + kMmdfCrlf + "S: 1\r\n" + kMmdfCrlf + "junk\r\n" + kMmdfCrlf +
         "X-Mozilla-Status: 0008\r\n" + kMmdfCrlf + kMmdfCrlf + "S: 3\r\n",
     {"S: 1\r\n", "S: 3\r\n"},
     {"", ""},
     {Kind::kLeadingBlankLines, Kind::kStrayText, Kind::kDeletedMessage, Kind::kUnclosedMessage}},
    {"message_file_bom", "\xEF\xBB\xBFS: a\n\nx\n", {"S: a\n\nx\n"}, {""}, {Kind::kByteOrderMark}},
    {"message_file_cr_only",
     "S: a\rT: b\r\rbody\r",
     {"S: a\nT: b\n\nbody\n"},
     {""},
     {Kind::kLoneCarriageReturns}},
    // The same line-end rule inside a mailbox: a CR-only reply is its lines,
    // not one long line (its Return-Path: would take in the whole header).
    {"mbox_message_cr_only",
     kFromA + "Return-Path: <>\rS: a\r\rbody\r\n" + kFromC + "S: 2\n",
     {"Return-Path: <>\nS: a\n\nbody\r\n", "S: 2\n"},
     {"a@b", "c@d"},
     {Kind::kLoneCarriageReturns}},
    // A lone CR at the input's end is mended into a line end, but ends no
    // header section: there is no body for a Content-Length: to count.
    {"mbox_lone_cr_at_the_end",
     kFromA + "Content-Length: 5\n\r",
     {"Content-Length: 5\n\n"},
     {"a@b"},
     {Kind::kLoneCarriageReturns}},
    {"mmdf_message_cr_only",
     kMmdf + "S: a\rT: b\r\n" + kMmdf,
     {"S: a\nT: b\r\n"},
     {""},
     {Kind::kLoneCarriageReturns}},
    {"message_file_mixed_line_ends",
     "a\r\nb\rc\n",
     {"a\r\nb\nc\n"},
     {""},
     {Kind::kLoneCarriageReturns}},
    {"message_file_from_line_without_date",
     "From a@b\nS: x\n\nFrom a@b Tue Dec  8 10:00:00 2026\n",
     {"From a@b\nS: x\n\nFrom a@b Tue Dec  8 10:00:00 2026\n"},
     {""},
     {}},
    {"message_file_blank_lines_kept", "\n\nS: x\n", {"\n\nS: x\n"}, {""}, {}},
    // Senders that are no address: Outlook Express and Eudora write
    // "???@???" for one they did not know, as Thunderbird writes "-".
    {"placeholder_senders",
     "From ???@??? Mon Jan 01 00:00:00 2024\nS: 1\n\n"
     "From ??? Mon Jan 01 00:00:00 2024\nS: 2\n\n"
     "From <bob@example.org> Mon Jan 01 00:00:00 2024\nS: 3\n\n"
     "From alice Mon Jan 01 00:00:00 2024\nS: 4\n\n"
     "From a@b-.c Mon Jan 01 00:00:00 2024\nS: 5\n\n"
     "From Mailer-Daemon Mon Jan 01 00:00:00 2024\nS: 6\n",
     {"S: 1\n", "S: 2\n", "S: 3\n", "S: 4\n", "S: 5\n", "S: 6\n"},
     {"", "", "<bob@example.org>", "alice", "", "<>"},
     {}},
    // A Mac mail client's .emlx: a byte count, that many bytes of message,
    // then a property list that is not mail.
    {"emlx_message_then_property_list",
     "20        \nS: a\r\nT: b\r\n\r\nbody\r\n<?xml version=\"1.0\"?>\n<plist/>\n",
     {"S: a\r\nT: b\r\n\r\nbody\r\n"},
     {""},
     {}},
    {"emlx_count_past_the_end", "99\nS: a\n\nx\n", {"S: a\n\nx\n"}, {""}, {Kind::kShortEmlx}},
    {"emlx_with_lone_crs",
     "8\r\nS: a\r\rx\r<plist/>",
     {"S: a\n\nx\n"},
     {""},
     {Kind::kLoneCarriageReturns}},
    // Digits with more on their line are no count: a message file.
    {"digits_then_text_are_no_count", "24 bytes\nS: a\n", {"24 bytes\nS: a\n"}, {""}, {}},
    // The size limit counts a message's stored text.
    {"message_file_over_the_limit", "S: a\n\n0123456789\n", {kTooLarge}, {""}, {}, 10},
    {"message_file_at_the_limit",
     "\xEF\xBB\xBFS: a\n\nxyz\n",
     {"S: a\n\nxyz\n"},
     {""},
     {Kind::kByteOrderMark},
     10},
    {"mbox_message_over_the_limit_skipped",
     kFromA + "S: 1\n\n" + std::string(40, 'x') + "\n\n" + kFromC + "S: 2\n",
     {kTooLarge, "S: 2\n"},
     {"a@b", "c@d"},
     {},
     16},
    // The writer's blank line before a separator is not the message's.
    {"mbox_message_at_the_limit",
     kFromA + "S: 1\n\nabc\n\n" + kFromC + "S: 2\n",
     {"S: 1\n\nabc\n", "S: 2\n"},
     {"a@b", "c@d"},
     {},
     10},
    {"mbox_long_line_without_line_end",
     kFromA + "S: 1\n\n" + std::string(3000, 'x'),
     {kTooLarge},
     {"a@b"},
     {},
     100},
    {"mbox_long_line_between_separators",
     kFromA + std::string(3000, 'x') + "\n" + kFromC + "S: 2\n",
     {kTooLarge, "S: 2\n"},
     {"a@b", "c@d"},
     {},
     1500},
    // Headers over the limit are not read: not even its deletion.
    {"mbox_headers_over_the_limit",
     kFromA + "X-Mozilla-Status: 0008\nSubject: " + std::string(30, 's') + "\n\nbody\n",
     {kTooLarge},
     {"a@b"},
     {},
     20},
    {"mbox_deleted_with_a_body_over_the_limit",
     kFromA + "X-Mozilla-Status: 0008\n\n" + std::string(90, 'b') + "\n" + kFromC + "S: 2\n",
     {"S: 2\n"},
     {"c@d"},
     {Kind::kDeletedMessage},
     30},
    // Its Content-Length: takes in a separator and passes the limit.
    {"mbox_content_length_over_the_limit",
     kFromA + WithLength("", kQuotedBody.size(), kQuotedBody) + "\n" + kFromC + "S: 2\n",
     {kTooLarge, "S: 2\n"},
     {"a@b", "c@d"},
     {},
     30},
    {"mbox_content_length_of_a_message_over_the_limit",
     kFromA + WithLength("", 201 + kQuotedBody.size(), std::string(200, 'y') + "\n" + kQuotedBody) +
         "\n" + kFromC + "S: 2\n",
     {kTooLarge, "S: 2\n"},
     {"a@b", "c@d"},
     {},
     50},
    {"mbox_content_length_not_landing_over_the_limit",
     kFromA + WithLength("", 2000, std::string(200, 'y') + "\n") + "\n" + kFromC + "S: 2\n",
     {kTooLarge, "S: 2\n"},
     {"a@b", "c@d"},
     {Kind::kIgnoredContentLength},
     50},
    // Its Content-Length: ends where it ends: on the separator, or on the
    // blank line before it; its bytes are gone by then.
    {"mbox_content_length_to_the_separator_over_the_limit",
     kFromA + WithLength("", 5, "abcd\n") + kFromC + "x\n",
     {kTooLarge, "x\n"},
     {"a@b", "c@d"},
     {},
     3},
    {"mbox_content_length_to_the_blank_line_over_the_limit",
     kFromA + WithLength("", 5, "abcd\n") + "\n" + kFromC + "x\n",
     {kTooLarge, "x\n"},
     {"a@b", "c@d"},
     {},
     3},
    {"mmdf_message_and_stray_text_over_the_limit",
     kMmdf + "S: 1\n" + std::string(2500, 'z') + "\n" + kMmdf + std::string(2500, 'j') + "\n" +
         kMmdf + "S: 2\n" + kMmdf,
     {kTooLarge, "S: 2\n"},
     {"", ""},
     {Kind::kStrayText},
     20},
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const StreamCase& c, std::ostream* out) {
    *out << c.name;
}

// The read chunk sizes: a few bytes, so that separators, byte-order marks
// and CR LF pairs straddle reads, and the default through a real file.
constexpr std::size_t kThroughFile = 0;
const std::size_t kChunkSizes[] = {kThroughFile, 1, 2, 3, 5, 64};

class MessageStreamTest : public ::testing::TestWithParam<std::tuple<StreamCase, std::size_t>> {};

TEST_P(MessageStreamTest, SplitsUnquotesAndNotes) {
    const StreamCase& c = std::get<0>(GetParam());
    const std::size_t chunk = std::get<1>(GetParam());
    const std::string path = UniqueTempPath(2000) + ".mbox";
    std::unique_ptr<MessageStream> stream;
    std::string reason;
    if (chunk == kThroughFile) {
        std::ofstream(path, std::ios::binary) << c.input;
        stream = std::make_unique<MessageStream>(MessageStream::kDefaultReadChunk, c.maxSize);
        ASSERT_TRUE(stream->Open(path, &reason)) << reason;
    } else {
        stream = std::make_unique<MessageStream>(chunk, c.maxSize);
        stream->OpenBytes(c.input.data(), c.input.size());
    }
    std::vector<std::string> texts;
    std::vector<std::string> senders;
    std::vector<Kind> notes;
    std::uint64_t covered = 0; // spans and skipped bytes follow each other
    StreamedMessage message;
    bool more = true;
    while (more) {
        more = stream->Next(&message, &reason);
        for (const StreamNote& note : stream->Notes()) {
            notes.push_back(note.kind);
            EXPECT_FALSE(note.text.empty());
            if (note.begin != note.end) {
                EXPECT_EQ(note.begin, covered);
                covered = note.end;
            }
        }
        if (more) {
            EXPECT_TRUE(!message.tooLarge || message.text.empty());
            texts.push_back(message.tooLarge ? kTooLarge : message.text);
            senders.push_back(message.separatorSender);
            const MessageSpan& span = stream->Span();
            EXPECT_EQ(span.start, covered);
            EXPECT_LE(span.start, span.textStart);
            EXPECT_LE(span.textStart, span.textEnd);
            EXPECT_LE(span.textEnd, span.end);
            covered = span.end;
        }
    }
    EXPECT_EQ(reason, "");
    EXPECT_EQ(texts, c.texts);
    EXPECT_EQ(senders, c.senders);
    EXPECT_EQ(notes, c.notes);
    EXPECT_EQ(covered, c.input.size());
    // A message file too large by its size is not read.
    const bool unread = !stream->IsMailbox() && texts == std::vector<std::string>{kTooLarge};
    const std::size_t read = chunk == kThroughFile ? MessageStream::kDefaultReadChunk : chunk;
    EXPECT_EQ(stream->BytesRead() == c.input.size(), !unread || read >= c.input.size());
    stream.reset();
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MessageStreamTest,
    ::testing::Combine(::testing::ValuesIn(kStreamCases), ::testing::ValuesIn(kChunkSizes)),
    [](const ::testing::TestParamInfo<std::tuple<StreamCase, std::size_t>>& param) {
        return std::string(std::get<0>(param.param).name) + "_" +
               std::to_string(std::get<1>(param.param));
    });

// Messages keep their place in the mailbox when deleted ones are skipped.
TEST(MessageStreamNumbers, CountSkippedMessages) {
    const std::string input = "From a@b Tue Dec  8 10:00:00 2026\nX-Mozilla-Status: 0008\n\n"
                              "From a@b Tue Dec  8 10:00:00 2026\nS: 2\n";
    MessageStream stream(1);
    stream.OpenBytes(input.data(), input.size());
    StreamedMessage message;
    std::string reason;
    ASSERT_TRUE(stream.Next(&message, &reason));
    EXPECT_EQ(stream.Span().number, 2u);
}

// A message file is read into a buffer sized for it: no second copy
// grown by doubling.
TEST(MessageStreamMemory, MessageFileHeldOnce) {
    const std::string path = UniqueTempPath(2001) + ".eml";
    const std::size_t size = 3 * MessageStream::kDefaultReadChunk + 17;
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    MessageStream stream;
    std::string reason;
    ASSERT_TRUE(stream.Open(path, &reason)) << reason;
    StreamedMessage message;
    ASSERT_TRUE(stream.Next(&message, &reason)) << reason;
    EXPECT_EQ(message.text.size(), size);
    EXPECT_LE(message.text.capacity(), size + MessageStream::kDefaultReadChunk);
    std::remove(path.c_str());
}

struct LineCase {
    const char* line;
    bool separator;
};

const LineCase kLineCases[] = {
    {"From a@b Tue Dec  8 16:29:35 2026\n", true},
    {"From - Tue Dec  8 16:29:35 2026\r\n", true},
    {"From a@b Sun Jan 1 0:00 1999", true},
    {"From a@b Sat Feb 29 23:59:60 2028 +1400\n", true},
    {"From a@b Mon Mar 30 01:02:03 -0000 2026\n", true},
    {"From a@b Mon Mar 30 01:02:03 MET DST 2026\n", true},
    {"From Monday: on leave\n", false},
    {"From a@b\n", false},
    {"From Tue Dec  8 16:29:35 2026\n", false}, // no sender
    {"From a@b Tue Dec  8 16:29:35\n", false},  // no year
    {"From a@b Tue, 8 Dec 2026 16:29:35 +0000\n", false},
    {"From a@b Tue Dec 32 16:29:35 2026\n", false},
    {"From a@b Tue Dec  8 24:29:35 2026\n", false},
    {"From a@b Tue Dec  8 16:60 2026\n", false},
    {"From a@b Tue Dec  8 16:29:35 2026 2027\n", false},
    {"From a@b Tue Dec  8 16:29:35 26\n", false},
    {"From a@b Tue Dec  8 16:29:35 UTC +0000 CET 2026\n", false},
    {"from a@b Tue Dec  8 16:29:35 2026\n", false},
    {">From a@b Tue Dec  8 16:29:35 2026\n", false},
    {"From a@b tue dec  8 16:29:35 2026\n", false},
};

TEST(SeparatorLine, NeedsSenderAndDate) {
    for (const LineCase& c : kLineCases) {
        EXPECT_EQ(IsSeparatorLine(c.line, std::strlen(c.line)), c.separator) << c.line;
    }
    const std::string tooLong =
        "From " + std::string(kLongestSeparatorLine, 'a') + " Tue Dec  8 16:29:35 2026\n";
    EXPECT_FALSE(IsSeparatorLine(tooLong.data(), tooLong.size()));
}

struct HeaderCase {
    const char* headers;
    bool hasLength;
    std::uint64_t length;
    bool deleted;
};

const HeaderCase kHeaderCases[] = {
    {"Content-Length: 12\r\n", true, 12, false},
    {"content-length :7 \n", true, 7, false},
    {"Content-Length: 12x\n", false, 0, false},
    {"Content-Length: \nContent-Length: 5\n", false, 0, false}, // the first one counts
    {"Content-Length: 999999999999999999\n", true, 999999999999999999u, false},
    {"Content-Length: 9999999999999999999\n", false, 0, false},
    {"X-Mozilla-Status: 0008\n", false, 0, true},
    {"X-Mozilla-Status: 0001\nX-Mozilla-Status: 0008\n", false, 0, false},
    {"X-Mozilla-Status: 00g8\n", false, 0, false},
    {"X-Mozilla-Status2: 0008\n", false, 0, false},
    {"Subject: X-Mozilla-Status: 0008\n", false, 0, false},
    // A folded line or a body line is no field.
    {"Subject: a\n Content-Length: 5\n", false, 0, false},
    {"Subject: a\n\nContent-Length: 5\n", false, 0, false},
};

TEST(MailboxHeaderFields, LengthAndDeletedFlag) {
    for (const HeaderCase& c : kHeaderCases) {
        MailboxHeaderScan scan;
        HeaderReader reader;
        const std::size_t size = std::strlen(c.headers);
        for (std::size_t at = 0; at < size;) {
            const char* line = c.headers + at;
            const std::size_t length = LineLength(line, size - at);
            ReadMailboxHeaderLine(line, length, reader.Push(line, length), &scan);
            at += length;
        }
        const MailboxHeaders& found = scan.found;
        EXPECT_EQ(found.hasContentLength, c.hasLength) << c.headers;
        EXPECT_EQ(found.contentLength, c.length) << c.headers;
        EXPECT_EQ(found.deleted, c.deleted) << c.headers;
    }
}

} // namespace
