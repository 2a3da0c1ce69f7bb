// The shipped module, loaded from its file and reached only through its
// exported names, as the mail server does.
#include "standin/module_loader.h"
#include "standin/standin_server.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

constexpr const char* kSender = "relay@example.org";

#ifdef _WIN32
constexpr const char* kLibraryWithoutEntryPoints = "kernel32.dll";
#else
constexpr const char* kLibraryWithoutEntryPoints = "libc.so.6";
#endif

class ShippedModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_EQ(module.Load(ExecutableDirectory() + ModuleFileName(), &error),
                  LoadOutcome::kLoaded)
            << error;
    }

    LoadedModule module;
};

TEST_F(ShippedModuleTest, StartupGatesAndLogLine) {
    struct Case {
        unsigned char major, minor;
        const char* sender;
        unsigned result;
        const char* log;
    };
    const Case cases[] = {
        {2, 19, kSender, 0, "Velmora daemon could not load (version error)"},
        {1, 0, "", 0, "Velmora daemon could not load (version error)"},
        {2, 20, "1234567", 0, "Velmora daemon could not load (sender name error)"},
        {2, 20, nullptr, 0, "Velmora daemon could not load (sender name error)"},
        {3, 0, kSender, 1, "Velmora daemon loaded successfully"},
    };
    for (const Case& c : cases) {
        StandInServer host(c.major, c.minor);
        const unsigned result = module.Startup()(host.Block(), nullptr, nullptr, c.sender);
        EXPECT_EQ(result & 0xFFu, c.result);
        ASSERT_EQ(host.logs.size(), 1u);
        EXPECT_EQ(host.logs[0].text, c.log);
        EXPECT_EQ(host.logs[0].code, 15);
    }
    EXPECT_EQ(module.Startup()(nullptr, nullptr, nullptr, kSender) & 0xFFu, 0u);
}

TEST_F(ShippedModuleTest, ResendsAnAutoreplyWithAFreshMessageId) {
    StandInServer host;
    host.settings.domain = "mx.example.org";
    ASSERT_EQ(module.Startup()(host.Block(), nullptr, nullptr, kSender) & 0xFFu, 1u);
    JobHandle job = host.AddIncomingJob("<>", {"alice@example.net", "bob@example.net"},
                                        "Message-ID: <old@x>\n"
                                        "X-Autoreply-From: carol@example.org\n"
                                        "\n"
                                        "away\n");

    EXPECT_EQ(module.Daemon()(job, host.Block(), nullptr, kSender), 1);
    ASSERT_EQ(host.CreatedJobs().size(), 1u);
    const HostJob& created = *host.CreatedJobs()[0];
    EXPECT_EQ(created.sender, kSender);
    EXPECT_EQ(created.recipients,
              (std::vector<std::string>{"alice@example.net", "bob@example.net"}));
    const std::vector<std::string> lines = created.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex("Message-ID: <ar[0-9]+@mx\\.example\\.org>\r\n")))
        << lines[0];
    EXPECT_EQ(lines[1], "X-Autoreply-From: carol@example.org\r\n");
    ASSERT_EQ(host.logs.size(), 3u);
    EXPECT_EQ(host.logs[2].text, "MAIL FROM in autoreply modified by daemon");
    EXPECT_EQ(host.Leaks(), "");
    EXPECT_TRUE(host.violations.empty());
}

TEST_F(ShippedModuleTest, TwoReplacementsInARowGetDifferentIds) {
    StandInServer host;
    std::vector<std::string> ids;
    for (int i = 0; i < 2; ++i) {
        JobHandle job = host.AddIncomingJob("<>", {"a@example.net"},
                                            "X-Autoreply-From: carol@example.org\n\nx\n");
        ASSERT_EQ(module.Daemon()(job, host.Block(), nullptr, kSender), 1);
        ids.push_back(host.CreatedJobs().back()->Lines().at(0));
    }
    EXPECT_NE(ids[0], ids[1]);
}

TEST_F(ShippedModuleTest, FailurePathsLeaveNothingBehind) {
    for (int fault = 0; fault < 3; ++fault) {
        StandInServer host;
        host.faults.openMessageFails = fault == 0;
        host.faults.createJobFails = fault == 1;
        host.faults.closeResult = fault == 2 ? -5 : 1;
        JobHandle job = host.AddIncomingJob("<>", {"a@example.net"},
                                            "X-Autoreply-From: carol@example.org\n\nx\n");
        EXPECT_EQ(module.Daemon()(job, host.Block(), nullptr, kSender), 0) << fault;
        EXPECT_EQ(host.Leaks(), "") << fault;
        EXPECT_TRUE(host.violations.empty()) << fault;
    }
}

TEST_F(ShippedModuleTest, OrdinaryJobIsLeftAlone) {
    StandInServer host;
    JobHandle job = host.AddIncomingJob("bob@example.org", {"a@example.net"},
                                        "X-Autoreply-From: carol@example.org\n\nx\n");
    EXPECT_EQ(module.Daemon()(job, host.Block(), nullptr, kSender), 0);
    EXPECT_TRUE(host.logs.empty());
    EXPECT_TRUE(host.tempFiles.empty());
}

TEST(ModuleLoaderTest, LibraryWithoutEntryPointsIsRefused) {
    LoadedModule module;
    std::string error;
    EXPECT_EQ(module.Load(kLibraryWithoutEntryPoints, &error), LoadOutcome::kMissingStartup);
    EXPECT_NE(error.find("STARTUP"), std::string::npos) << error;
}

} // namespace
