// The header section reader, a line at a time: rows of lines pushed in
// turn and the answer each gets. One reader reads each row's lines.
#include "platform/header_reader.h"
#include "platform/line_ends.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using Kind = HeaderLineKind;

// What a line should be read as; for a field, its name's length and
// where its colon is.
struct Answer {
    Kind kind;
    std::size_t nameLength = 0;
    std::size_t colon = 0;
};

struct ReaderCase {
    const char* what;
    std::vector<std::string> lines;
    std::vector<Answer> answers;
};

const Answer kContinued{Kind::kContinuation};
const Answer kEnd{Kind::kEnd};
const Answer kBody{Kind::kBody};
const Answer kMalformed{Kind::kMalformed};

const ReaderCase kReaderCases[] = {
    {"fields_of_each_line_end",
     {"Subject: a\n", "To: b\r\n", "X-A: c", "Cc: d\r"},
     {{Kind::kField, 7, 7}, {Kind::kField, 2, 2}, {Kind::kField, 3, 3}, {Kind::kField, 2, 2}}},
    {"folded_lines_with_space_and_tab",
     {"Subject: a\n", " b\n", "\tc\r\n", "To: d\n"},
     {{Kind::kField, 7, 7}, kContinued, kContinued, {Kind::kField, 2, 2}}},
    {"empty_value", {"X-Empty:\n"}, {{Kind::kField, 7, 7}}},
    {"blanks_before_the_colon",
     {"Content-Length : 5\n", "X\t: y\n"},
     {{Kind::kField, 14, 15}, {Kind::kField, 1, 2}}},
    {"blank_line_lf", {"S: a\n", "\n", "body\n"}, {{Kind::kField, 1, 1}, kEnd, kBody}},
    {"blank_line_crlf", {"S: a\r\n", "\r\n", "body\r\n"}, {{Kind::kField, 1, 1}, kEnd, kBody}},
    {"blank_line_without_line_end", {"S: a", "", "body"}, {{Kind::kField, 1, 1}, kEnd, kBody}},
    // A lone CR is a line end too: the line that is only one is empty.
    {"line_of_only_cr", {"S: a\r", "\r", "body"}, {{Kind::kField, 1, 1}, kEnd, kBody}},
    {"cr_before_crlf_is_no_empty_line", {"S: a\n", "\r\r\n"}, {{Kind::kField, 1, 1}, kMalformed}},
    {"empty_first_line", {"\n", "S: a\n"}, {kEnd, kBody}},
    {"body_lines_look_like_anything",
     {"\n", "S: a\n", " b\n", "\n", "From a@b Tue Dec  8 10:00:00 2026\n"},
     {kEnd, kBody, kBody, kBody, kBody}},
    {"colonless_line", {"S: a\n", "no colon here\n"}, {{Kind::kField, 1, 1}, kMalformed}},
    {"space_inside_the_name", {"Two Words: x\n"}, {kMalformed}},
    {"empty_name", {": x\n"}, {kMalformed}},
    {"mbox_from_line",
     {"From a@b Tue Dec  8 10:00:00 2026\n", "From: a@b\n"},
     {kMalformed, {Kind::kField, 4, 4}}},
    {"nul_in_the_name", {std::string("X\0Y: z\n", 7)}, {kMalformed}},
    {"nul_in_the_value",
     {std::string("X: \0z\n", 6), std::string(" \0\n", 3)},
     {{Kind::kField, 1, 1}, kContinued}},
    {"eight_bit_name", {"Sub\xC3\xA9: x\n"}, {kMalformed}},
    // Nothing to fold into: before any field, or after a line that is none.
    {"folded_line_first", {" b\n", "S: a\n"}, {kMalformed, {Kind::kField, 1, 1}}},
    {"folded_line_after_malformed",
     {"S: a\n", "junk\n", " b\n"},
     {{Kind::kField, 1, 1}, kMalformed, kMalformed}},
    {"blank_only_line", {"S: a\n", " \t\n"}, {{Kind::kField, 1, 1}, kContinued}},
};

// Failures name the row, not its bytes.
void PrintTo(const ReaderCase& c, std::ostream* out) {
    *out << c.what;
}

class HeaderReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(HeaderReaderTest, AnswersEachLine) {
    const ReaderCase& c = GetParam();
    ASSERT_EQ(c.lines.size(), c.answers.size());
    HeaderReader reader;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        SCOPED_TRACE(testing::PrintToString(c.lines[i]));
        const HeaderLine read = reader.Push(c.lines[i].data(), c.lines[i].size());
        EXPECT_EQ(read.kind, c.answers[i].kind);
        if (c.answers[i].kind == Kind::kField) {
            EXPECT_EQ(read.nameLength, c.answers[i].nameLength);
            EXPECT_EQ(read.colon, c.answers[i].colon);
            EXPECT_EQ(read.ValueStart(), c.answers[i].colon + 1);
        }
        EXPECT_EQ(read.textLength,
                  c.lines[i].size() - LineEndLength(c.lines[i].data(), c.lines[i].size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HeaderReaderTest, testing::ValuesIn(kReaderCases),
                         [](const testing::TestParamInfo<ReaderCase>& param) {
                             return std::string(param.param.what);
                         });

} // namespace
