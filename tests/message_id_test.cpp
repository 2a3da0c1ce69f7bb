// Message-ID numbers: unique per loaded module, wrap-aware, lock-free.
#include "daemon/message_id.h"
#include "tests/support/fake_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

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
    // After a quiet spell the number is the clock again, however long the
    // spell was, short of the clock's whole cycle (49.7 days).
    {"quiet_month", {1000, 1000 + 30u * 86400000u}, {1000, 1000 + 30u * 86400000u}},
    {"quiet_40_days", {1000, 1000 + 40u * 86400000u}, {1000, 1000 + 40u * 86400000u}},
    {"quiet_49_days", {1000, 1000 + 49u * 86400000u}, {1000, 1000 + 49u * 86400000u}},
    {"quiet_just_over_half_the_cycle", {0, 0x80000001u}, {0, 0x80000001u}},
    {"quiet_spell_after_a_burst", {7, 7, 7, 7 + 0x90000000u}, {7, 8, 9, 7 + 0x90000000u}},
    {"quiet_spell_across_the_wrap", {0xF0000000u, 0x60000000u}, {0xF0000000u, 0x60000000u}},
    {"burst_overtaken_after_a_wrap",
     {4294967295u, 4294967295u, 4294967295u, 1, 2},
     {4294967295u, 0, 1, 2, 3}},
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

// Calls racing within one millisecond never share a number. The threads
// wait behind a barrier so that they really start together, and the clock
// gives up the processor on every reading, between the load of the last
// number and the update, where a lost update would slip in.
TEST(MessageIdConcurrencyTest, RacingCallsGetDistinctNumbers) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    ResetMessageIdSequence();
    SetFakeClock(4294967000u); // the race runs across the wrap
    YieldOnClockReads(true);
    std::atomic<int> waiting{kThreads};
    std::vector<std::vector<std::uint32_t>> perThread(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&perThread, &waiting, t] {
            waiting.fetch_sub(1);
            while (waiting.load() != 0) {
                std::this_thread::yield();
            }
            for (int i = 0; i < kPerThread; ++i) {
                perThread[t].push_back(IssueMessageIdNumber());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    YieldOnClockReads(false);
    std::set<std::uint32_t> distinct;
    for (const auto& numbers : perThread) {
        distinct.insert(numbers.begin(), numbers.end());
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kPerThread));
}

// The line's room is exact: a number of ten digits fills it to the last
// byte, terminator included, and not one byte beyond. The bytes after it
// are watched here, since the heap's slack would hide an overrun.
TEST(MessageIdLineTest, LongestLineFitsItsCapacityExactly) {
    constexpr std::size_t kGuardBytes = 16;
    constexpr char kGuard = '#';
    for (const char* domain : {"", "x", "mail.example.org"}) {
        SCOPED_TRACE(domain);
        const std::size_t capacity = MessageIdLineCapacity(domain);
        std::vector<char> buffer(capacity + kGuardBytes, kGuard);
        FormatMessageIdLine(buffer.data(), 4294967295u, domain);
        EXPECT_EQ(std::strlen(buffer.data()) + 1, capacity);
        EXPECT_EQ(std::string(buffer.begin() + static_cast<std::ptrdiff_t>(capacity), buffer.end()),
                  std::string(kGuardBytes, kGuard));
    }
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
