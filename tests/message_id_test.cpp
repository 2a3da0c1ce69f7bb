// Message-ID numbers: unique per loaded module, wrap-aware, lock-free.
#include "daemon/message_id.h"
#include "tests/support/fake_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

namespace {

TEST(CountIsLaterTest, ComparesOnTheWrappingClock) {
    struct Case {
        std::uint32_t a, b;
        bool later;
    };
    const Case cases[] = {
        {1001, 1000, true},      {1000, 1000, false},
        {999, 1000, false},      {0, 4294967295u, true},
        {5, 4294967290u, true},  {4294967295u, 0, false},
        {0x7FFFFFFFu, 0, true},  {0x80000000u, 0, false},
        {0x80000001u, 1, false}, {4294967295u, 4294967294u, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountIsLater(c.a, c.b), c.later) << c.a << " vs " << c.b;
    }
}

struct SequenceCase {
    const char* name;
    std::vector<std::uint32_t> clock;   // clock reading for each issue
    std::vector<std::uint32_t> numbers; // numbers issued
};

const SequenceCase kSequenceCases[] = {
    {"first_number_is_the_clock", {0}, {0}},
    {"clock_moving_on", {10, 11, 500}, {10, 11, 500}},
    {"same_millisecond", {1000, 1000, 1000}, {1000, 1001, 1002}},
    {"bumped_numbers_overtaken_by_clock", {1000, 1000, 1000, 1005}, {1000, 1001, 1002, 1005}},
    {"bumped_numbers_not_yet_overtaken", {1000, 1000, 1000, 1001}, {1000, 1001, 1002, 1003}},
    {"clock_going_back", {5000, 4000}, {5000, 5001}},
    {"clock_wraps", {4294967295u, 0, 1}, {4294967295u, 0, 1}},
    {"same_millisecond_at_the_top", {4294967295u, 4294967295u, 4294967295u}, {4294967295u, 0, 1}},
    {"first_number_may_be_the_top", {4294967295u}, {4294967295u}},
};

class MessageIdSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(MessageIdSequenceTest, IssuesTheExpectedNumbers) {
    ResetMessageIdSequence();
    std::vector<std::uint32_t> issued;
    for (std::uint32_t now : GetParam().clock) {
        SetFakeClock(now);
        issued.push_back(IssueMessageIdNumber());
    }
    EXPECT_EQ(issued, GetParam().numbers);
}

INSTANTIATE_TEST_SUITE_P(Clock, MessageIdSequenceTest, ::testing::ValuesIn(kSequenceCases),
                         [](const ::testing::TestParamInfo<SequenceCase>& param) {
                             return std::string(param.param.name);
                         });

// Calls racing within one millisecond never share a number.
TEST(MessageIdConcurrencyTest, RacingCallsGetDistinctNumbers) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5000;
    ResetMessageIdSequence();
    SetFakeClock(4294967000u); // the race runs across the wrap
    std::vector<std::vector<std::uint32_t>> perThread(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&perThread, t] {
            for (int i = 0; i < kPerThread; ++i) {
                perThread[t].push_back(IssueMessageIdNumber());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::set<std::uint32_t> distinct;
    for (const auto& numbers : perThread) {
        distinct.insert(numbers.begin(), numbers.end());
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kPerThread));
}

TEST(MessageIdLineTest, FormatsNumberAndDomain) {
    struct Case {
        std::uint32_t number;
        const char* domain;
        const char* line;
    };
    const Case cases[] = {
        {987, "D", "Message-ID: <ar987@D>\r\n"},
        {0, "mail.example.org", "Message-ID: <ar0@mail.example.org>\r\n"},
        {4294967295u, "x.y", "Message-ID: <ar4294967295@x.y>\r\n"},
        {100, "", "Message-ID: <ar100@>\r\n"},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(MessageIdLineCapacity(c.domain), '#');
        FormatMessageIdLine(buffer.data(), c.number, c.domain);
        EXPECT_STREQ(buffer.data(), c.line);
    }
}

} // namespace
