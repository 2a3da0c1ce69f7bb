// Start-up: version and sender gates, their order, the log line, and the
// domain learnt from the host.
#include "tests/support/module_fixture.h"

#include <algorithm>

namespace {

constexpr const char* kVersionError = "Velmora daemon could not load (version error)";
constexpr const char* kSenderError = "Velmora daemon could not load (sender name error)";
constexpr const char* kLoaded = "Velmora daemon loaded successfully";

struct StartupCase {
    const char* name;
    unsigned char major;
    unsigned char minor;
    const char* sender; // may be null
    unsigned expectedResult;
    const char* expectedLog;
};

const StartupCase kStartupCases[] = {
    {"v2_19_refused", 2, 19, "relay@example.org", 0, kVersionError},
    {"v2_20_passes", 2, 20, "relay@example.org", 1, kLoaded},
    {"v2_255_passes", 2, 255, "relay@example.org", 1, kLoaded},
    {"v1_99_refused", 1, 99, "relay@example.org", 0, kVersionError},
    {"v1_255_refused", 1, 255, "relay@example.org", 0, kVersionError},
    {"v3_0_passes", 3, 0, "relay@example.org", 1, kLoaded},
    {"v255_0_passes", 255, 0, "relay@example.org", 1, kLoaded},
    {"v0_0_refused", 0, 0, "relay@example.org", 0, kVersionError},
    {"version_before_sender", 1, 0, "", 0, kVersionError},
    {"version_before_null_sender", 2, 19, nullptr, 0, kVersionError},
    {"sender_7_refused", 2, 20, "a@b.org", 0, kSenderError},
    {"sender_8_passes", 2, 20, "a@bc.org", 1, kLoaded},
    {"sender_empty_refused", 2, 20, "", 0, kSenderError},
    {"sender_null_refused", 2, 20, nullptr, 0, kSenderError},
    {"sender_not_an_address_passes", 2, 20, "12345678", 1, kLoaded},
};

class StartupGateTest : public ::testing::TestWithParam<StartupCase> {
  protected:
    void SetUp() override { StoreMessageIdDomain("previous.example"); }
    void TearDown() override { StoreMessageIdDomain(nullptr); }
};

TEST_P(StartupGateTest, ReturnsVerdictAndLogsExactlyOneLine) {
    const StartupCase& c = GetParam();
    StandInServer host(c.major, c.minor);
    host.settings.domain = "new.example";

    const unsigned result = STARTUP(host.Block(), nullptr, nullptr, c.sender);

    EXPECT_EQ(result, c.expectedResult);
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_EQ(host.logs[0].text, c.expectedLog);
    EXPECT_EQ(host.logs[0].facility, 10);
    EXPECT_EQ(host.logs[0].code, 15);
    EXPECT_TRUE(host.violations.empty());

    // The host is asked for the domain only when both gates pass, and a
    // refusal leaves the stored domain as it was.
    const bool queried = std::count(host.calls.begin(), host.calls.end(), "HostQueryString") == 1;
    EXPECT_EQ(queried, c.expectedResult == 1);
    EXPECT_STREQ(MessageIdDomain(), c.expectedResult == 1 ? "new.example" : "previous.example");
}

INSTANTIATE_TEST_SUITE_P(Gates, StartupGateTest, ::testing::ValuesIn(kStartupCases),
                         [](const ::testing::TestParamInfo<StartupCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(StartupTest, NullDomainGivesSuccessWithEmptyDomain) {
    StoreMessageIdDomain("previous.example");
    StandInServer host;
    host.faults.domainIsNull = true;

    EXPECT_EQ(STARTUP(host.Block(), nullptr, nullptr, kConfiguredSender), 1u);
    EXPECT_STREQ(MessageIdDomain(), "");
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_EQ(host.logs[0].text, kLoaded);
}

TEST(StartupTest, LaterStartupReplacesDomain) {
    StandInServer host;
    host.settings.domain = "first.example";
    ASSERT_EQ(STARTUP(host.Block(), nullptr, nullptr, kConfiguredSender), 1u);
    host.settings.domain = "second.example";
    ASSERT_EQ(STARTUP(host.Block(), nullptr, nullptr, kConfiguredSender), 1u);
    EXPECT_STREQ(MessageIdDomain(), "second.example");
    StoreMessageIdDomain(nullptr);
}

TEST(StartupTest, DomainIsCopiedNotBorrowed) {
    StandInServer host;
    host.settings.domain = "copied.example";
    ASSERT_EQ(STARTUP(host.Block(), nullptr, nullptr, kConfiguredSender), 1u);
    host.settings.domain.assign(host.settings.domain.size(), 'x'); // host reuses its memory
    EXPECT_STREQ(MessageIdDomain(), "copied.example");
    StoreMessageIdDomain(nullptr);
}

TEST(StartupTest, NullBlockIsRefusedAndKeepsTheDomain) {
    StoreMessageIdDomain("kept.example");
    EXPECT_EQ(STARTUP(nullptr, nullptr, nullptr, kConfiguredSender), 0u);
    EXPECT_STREQ(MessageIdDomain(), "kept.example");
    StoreMessageIdDomain(nullptr);
}

TEST(StartupTest, MissingLogServiceDoesNotCrash) {
    StandInServer host;
    host.faults.missingServices = {kHostLogOffset, kHostQueryStringOffset};
    EXPECT_EQ(STARTUP(host.Block(), nullptr, nullptr, kConfiguredSender), 1u);
    EXPECT_STREQ(MessageIdDomain(), "");
}

} // namespace
