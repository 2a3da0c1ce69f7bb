// Which lines of the copied message are the old Message-ID field.
#include "daemon/header_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct FilterCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::string> kept;
};

const FilterCase kFilterCases[] = {
    {"drops_message_id_in_header",
     {"From: a@b\r\n", "Message-ID: <x@y>\r\n", "To: c@d\r\n"},
     {"From: a@b\r\n", "To: c@d\r\n"}},
    {"letter_case_does_not_matter",
     {"Message-Id: <1@y>\r\n", "message-id: <2@y>\r\n", "MESSAGE-ID:<3@y>\r\n", "To: c@d\r\n"},
     {"To: c@d\r\n"}},
    {"folded_field_dropped_whole",
     {"Message-ID:\r\n", " <x@y>\r\n", "\t(comment)\r\n", "Subject: hi\r\n", " there\r\n"},
     {"Subject: hi\r\n", " there\r\n"}},
    {"continuations_of_other_fields_kept",
     {"Subject: a\r\n", " b\r\n", "Message-ID: <x@y>\r\n", "To: c\r\n", "\td\r\n"},
     {"Subject: a\r\n", " b\r\n", "To: c\r\n", "\td\r\n"}},
    {"body_lines_kept_whatever_they_say",
     {"To: c\r\n", "\r\n", "Message-ID: <quoted@y>\r\n", " indented\r\n", "message-id: x\r\n"},
     {"To: c\r\n", "\r\n", "Message-ID: <quoted@y>\r\n", " indented\r\n", "message-id: x\r\n"}},
    {"empty_line_ends_folded_field_and_header",
     {"Message-ID: <x@y>\r\n", "\r\n", " body starting with a space\r\n"},
     {"\r\n", " body starting with a space\r\n"}},
    {"lf_only_empty_line_ends_header",
     {"To: c\n", "\n", "Message-ID: <quoted@y>\n"},
     {"To: c\n", "\n", "Message-ID: <quoted@y>\n"}},
    {"similar_names_kept",
     {"Message-IDs: x\r\n", "X-Message-ID: x\r\n", "Resent-Message-ID: x\r\n", "Message-I\r\n",
      "Message-ID\r\n", "Message-ID :x\r\n"},
     {"Message-IDs: x\r\n", "X-Message-ID: x\r\n", "Resent-Message-ID: x\r\n", "Message-I\r\n",
      "Message-ID\r\n", "Message-ID :x\r\n"}},
    {"short_lines_kept", {"a\r\n", "", "Mes"}, {"a\r\n", "", "Mes"}},
    {"eight_bit_bytes_never_match_letters",
     {"\xCD\xE5ssage-ID: x\r\n"},
     {"\xCD\xE5ssage-ID: x\r\n"}},
    {"leading_continuation_without_field_kept",
     {" orphan\r\n", "To: c\r\n"},
     {" orphan\r\n", "To: c\r\n"}},
};

class HeaderFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(HeaderFilterTest, KeepsExactlyTheExpectedLines) {
    HeaderFilterState state = HeaderFilterState::kHeader;
    std::vector<std::string> kept;
    for (const std::string& line : GetParam().lines) {
        if (KeepLine(&state, line.c_str())) {
            kept.push_back(line);
        }
    }
    EXPECT_EQ(kept, GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Lines, HeaderFilterTest, ::testing::ValuesIn(kFilterCases),
                         [](const ::testing::TestParamInfo<FilterCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
