// The messages of one input: a message file whole, a mailbox split at its
// separators, each message with the sender its separator names.
#include "standin/temp_files.h"
#include "runner/message_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <ostream>

namespace {

struct StreamCase {
    const char* name;
    std::string input;
    std::vector<std::string> texts;   // the messages, in order
    std::vector<std::string> senders; // their separator senders
};

const StreamCase kStreamCases[] = {
    {"message_file_whole",
     "From: a@x\n\nFrom the start\n",
     {"From: a@x\n\nFrom the start\n"},
     {""}},
    {"empty_file", "", {""}, {""}},
    {"mboxrd_quoting_and_senders",
     "From MAILER-DAEMON Tue Dec  8 10:00:00 2026\nSubject: 1\n\n>From here\n>>From there\n\n"
     "From bob@example.org Tue Dec  8 10:01:00 2026\nSubject: 2\n\nFrom-less\n\n"
     "From - Tue Dec  8 10:02:00 2026\nSubject: 3\n\nlast\n\n",
     {"Subject: 1\n\nFrom here\n>From there\n", "Subject: 2\n\nFrom-less\n",
      "Subject: 3\n\nlast\n"},
     {"<>", "bob@example.org", ""}},
    // A "From " line not after an empty line is body text, not a separator.
    {"from_line_inside_a_paragraph",
     "From <> Tue Dec  8 10:00:00 2026\r\nSubject: a\r\n\r\nline\r\nFrom me\r\n\r\nFrom x@y "
     "Tue\r\nb\r\n",
     {"Subject: a\r\n\r\nline\r\nFrom me\r\n", "b\r\n"},
     {"<>", "x@y"}},
    {"empty_lines_kept_but_the_last", "From a@b\n\n\nbody\n\n\n", {"\n\nbody\n\n"}, {"a@b"}},
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const StreamCase& c, std::ostream* out) {
    *out << c.name;
}

class MessageStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(MessageStreamTest, SplitsAndUnquotes) {
    const StreamCase& c = GetParam();
    const std::string path = UniqueTempPath(2000) + ".mbox";
    std::ofstream(path, std::ios::binary) << c.input;
    MessageStream stream;
    std::string reason;
    ASSERT_TRUE(stream.Open(path, &reason)) << reason;
    std::vector<std::string> texts;
    std::vector<std::string> senders;
    StreamedMessage message;
    while (stream.Next(&message, &reason)) {
        texts.push_back(message.text);
        senders.push_back(message.separatorSender);
    }
    EXPECT_EQ(reason, "");
    EXPECT_EQ(texts, c.texts);
    EXPECT_EQ(senders, c.senders);
    EXPECT_EQ(stream.BytesRead(), c.input.size());
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Inputs, MessageStreamTest, ::testing::ValuesIn(kStreamCases),
                         [](const ::testing::TestParamInfo<StreamCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
