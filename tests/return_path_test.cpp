// The envelope sender taken from a saved message's Return-Path: header.
#include "runner/job/return_path.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

constexpr const char* kFallback = "fallback@example.org";

struct ReturnPathCase {
    const char* name;
    const char* message;
    const char* sender;
    const char* left; // the message once the field that gave the sender is out
};

const ReturnPathCase kReturnPathCases[] = {
    {"null_path", "Return-Path: <>\nSubject: x\n\nbody\n", "<>", "Subject: x\n\nbody\n"},
    {"crlf_and_white_space", "Subject: x\r\nReturn-Path:   <>  \r\n\r\nbody\r\n", "<>",
     "Subject: x\r\n\r\nbody\r\n"},
    {"address", "Return-Path: <bob@example.org>\n\n", "<bob@example.org>", "\n"},
    {"name_in_any_case", "return-path: <>\n\n", "<>", "\n"},
    {"folded", "Return-Path:\n <bob@example.org>\nS: x\n\n", "<bob@example.org>", "S: x\n\n"},
    // Each delivery puts its own on top: only the topmost is this one's.
    {"first_of_two", "Return-Path: <>\nReturn-Path: <bob@example.org>\n\n", "<>",
     "Return-Path: <bob@example.org>\n\n"},
    {"absent", "From: bob@example.org\n\nReturn-Path: <>\n", kFallback,
     "From: bob@example.org\n\nReturn-Path: <>\n"},
    {"only_in_the_body_after_crlf", "From: b@example.org\r\n\r\nReturn-Path: <>\r\n", kFallback,
     "From: b@example.org\r\n\r\nReturn-Path: <>\r\n"},
    {"empty_value", "Return-Path:\nFrom: b@example.org\n\n", kFallback,
     "Return-Path:\nFrom: b@example.org\n\n"},
    {"longer_field_name", "Return-Paths: <>\n\n", kFallback, "Return-Paths: <>\n\n"},
    // As the server's lookup reads names: the colon straight after it.
    {"blank_before_colon", "Return-Path : <>\n\n", kFallback, "Return-Path : <>\n\n"},
    // A line that is no field ends no search: a later one may still be it.
    {"after_a_malformed_line", "no field here\nReturn-Path: <>\n\n", "<>", "no field here\n\n"},
    {"no_body_no_line_end", "Return-Path: <>", "<>", ""},
    {"empty_message", "", kFallback, ""},
};

// Names the case in test listings, instead of its bytes.
void PrintTo(const ReturnPathCase& c, std::ostream* out) {
    *out << c.name;
}

class TakeReturnPathTest : public ::testing::TestWithParam<ReturnPathCase> {};

// The header gives the sender, else the fallback does; the field that
// gives it leaves the job's message, and any other stays as it was.
TEST_P(TakeReturnPathTest, TakesTheFieldOutWhenItGivesTheSender) {
    std::string message = GetParam().message;
    EXPECT_EQ(TakeReturnPath(&message, kFallback), GetParam().sender);
    EXPECT_EQ(message, GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(Cases, TakeReturnPathTest, ::testing::ValuesIn(kReturnPathCases),
                         [](const ::testing::TestParamInfo<ReturnPathCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
