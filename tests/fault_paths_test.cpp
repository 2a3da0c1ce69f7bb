// Every host service failing, one at a time and in every pair, on an
// automatic reply the module would otherwise re-send. A service "fails"
// either by answering as a failed call or by being absent from the block.
// Whatever fails, the module must leave the host clean, report success
// only for a replacement the host accepted, and log exactly the lines that
// the first failure on the way calls for.
#include "tests/support/failing_memory.h"
#include "tests/support/module_fixture.h"

#include "host/service_block.h"
#include "standin/temp_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

// How far an autoreply gets when a service fails, in the order of the
// road it travels. When several fail, the earliest stop wins.
enum class Outcome {
    kIgnored,  // not seen as an autoreply: nothing logged
    kRejected, // the originator is not accepted: only the "found" line
    kNotSent,  // the replacement failed: "found" and "Unable ..."
    kSent,     // the replacement went out: "found" and "... modified ..."
};

struct Service {
    const char* name;
    std::size_t offset;
    Outcome whenFailing;
};

const Service kServices[] = {
    {"HostQueryString", kHostQueryStringOffset, Outcome::kSent},
    {"HostCheckAddress", kHostCheckAddressOffset, Outcome::kRejected},
    {"HostExtractAddress", kHostExtractAddressOffset, Outcome::kRejected},
    {"HostVerifyAddress", kHostVerifyAddressOffset, Outcome::kRejected},
    {"HostCloseJob", kHostCloseJobOffset, Outcome::kNotSent},
    {"HostRewindJob", kHostRewindJobOffset, Outcome::kSent},
    {"HostReleaseJob", kHostReleaseJobOffset, Outcome::kSent},
    {"HostGetJobInfo", kHostGetJobInfoOffset, Outcome::kIgnored},
    {"HostCreateJob", kHostCreateJobOffset, Outcome::kNotSent},
    {"HostAddRecipient", kHostAddRecipientOffset, Outcome::kSent},
    {"HostWriteLine", kHostWriteLineOffset, Outcome::kSent},
    {"HostReadLine", kHostReadLineOffset, Outcome::kSent},
    {"HostNextRecipient", kHostNextRecipientOffset, Outcome::kSent},
    {"HostTempFileName", kHostTempFileNameOffset, Outcome::kIgnored},
    {"HostOpenMessageFile", kHostOpenMessageFileOffset, Outcome::kIgnored},
    {"HostCloseMessageFile", kHostCloseMessageFileOffset, Outcome::kSent},
    {"HostFindHeader", kHostFindHeaderOffset, Outcome::kIgnored},
    {"HostWriteJobToFile", kHostWriteJobToFileOffset, Outcome::kIgnored},
    {"HostLog", kHostLogOffset, Outcome::kSent},
};

enum class FailureKind { kFailedAnswer, kMissingSlot };

struct FaultCase {
    FailureKind kind;
    std::vector<const Service*> failing;
};

std::string CaseName(const FaultCase& fault) {
    std::string name = fault.kind == FailureKind::kMissingSlot ? "missing" : "failing";
    for (const Service* service : fault.failing) {
        name += std::string(" ") + service->name;
    }
    return name;
}

// Names the case in test output instead of dumping its bytes.
void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << CaseName(fault);
}

bool Fails(const FaultCase& fault, std::size_t offset) {
    return std::any_of(fault.failing.begin(), fault.failing.end(),
                       [offset](const Service* service) { return service->offset == offset; });
}

Outcome ExpectedOutcome(const FaultCase& fault) {
    Outcome outcome = Outcome::kSent;
    for (const Service* service : fault.failing) {
        outcome = std::min(outcome, service->whenFailing);
    }
    return outcome;
}

std::vector<std::string> ExpectedLogs(const FaultCase& fault) {
    if (Fails(fault, kHostLogOffset)) {
        return {};
    }
    std::vector<std::string> logs = {"Velmora daemon loaded successfully"};
    const Outcome outcome = ExpectedOutcome(fault);
    if (outcome == Outcome::kIgnored) {
        return logs;
    }
    logs.push_back("Autoreply from bob@example.org found");
    if (outcome == Outcome::kNotSent) {
        logs.push_back("Unable to modify MAIL FROM in autoreply");
    } else if (outcome == Outcome::kSent) {
        logs.push_back("MAIL FROM in autoreply modified by daemon");
    }
    return logs;
}

std::vector<FaultCase> AllFaultCases() {
    std::vector<FaultCase> cases;
    for (FailureKind kind : {FailureKind::kFailedAnswer, FailureKind::kMissingSlot}) {
        for (const Service& first : kServices) {
            cases.push_back({kind, {&first}});
            for (const Service* second = &first + 1; second != std::end(kServices); ++second) {
                cases.push_back({kind, {&first, second}});
            }
        }
    }
    return cases;
}

std::size_t CountCalls(const StandInServer& host, const std::string& service) {
    return static_cast<std::size_t>(std::count(host.calls.begin(), host.calls.end(), service));
}

class FaultPathTest : public ::testing::TestWithParam<FaultCase> {
  protected:
    void SetUp() override {
        ResetMessageIdSequence();
        StoreMessageIdDomain(nullptr);
        ClearDeletedPaths();
    }
};

TEST_P(FaultPathTest, HostIsLeftCleanAndResultAndLogsFollowTheFirstFailure) {
    const FaultCase& fault = GetParam();
    StandInServer host;
    for (const Service* service : fault.failing) {
        if (fault.kind == FailureKind::kMissingSlot) {
            host.faults.missingServices.insert(service->offset);
        } else {
            host.faults.failingServices.insert(service->offset);
        }
    }
    ASSERT_EQ(STARTUP(host.Block(), nullptr, nullptr, kConfiguredSender), 1);
    JobHandle incoming =
        host.AddIncomingJob(kNullSender, {"alice@example.net"}, Autoreply("bob@example.org"));
    const std::int32_t result = DAEMON(incoming, host.Block(), nullptr, kConfiguredSender);

    // Contracts kept; the incoming job is never closed or released (the
    // host reports either as a violation).
    EXPECT_EQ(host.violations, std::vector<std::string>{});

    // Success exactly when the host accepted the replacement.
    const std::vector<const HostJob*> created = host.CreatedJobs();
    ASSERT_LE(created.size(), 1u);
    const bool closeAccepted =
        !created.empty() && created[0]->closed && !Fails(fault, kHostCloseJobOffset);
    EXPECT_EQ(result, closeAccepted ? 1 : 0);
    EXPECT_EQ(result == 1, ExpectedOutcome(fault) == Outcome::kSent);

    // A created job is released exactly once, when the host offers a way.
    const bool canRelease =
        fault.kind == FailureKind::kFailedAnswer || !Fails(fault, kHostReleaseJobOffset);
    EXPECT_EQ(CountCalls(host, "HostReleaseJob"), canRelease ? created.size() : 0u);
    EXPECT_LE(CountCalls(host, "HostCloseJob"), 1u);

    // Every message file opened is closed, when the host offers a way.
    const bool canCloseMessage =
        fault.kind == FailureKind::kFailedAnswer || !Fails(fault, kHostCloseMessageFileOffset);
    EXPECT_EQ(host.messagesClosed, canCloseMessage ? host.messagesOpened : 0);

    // No copy of the mail is left on disk, unless the host opened it and
    // gave no way to close it: a file still open there cannot be deleted
    // (so it is on Windows, and so our host behaves everywhere), and the
    // copy it keeps is the host's fault.
    const bool stillHeld = host.messagesOpened > host.messagesClosed;
    for (const std::string& path : host.tempFiles) {
        EXPECT_EQ(FileExists(path), stillHeld) << path;
    }

    std::vector<std::string> logs;
    for (const LogEntry& entry : host.logs) {
        logs.push_back(entry.text);
    }
    EXPECT_EQ(logs, ExpectedLogs(fault));

    // Tidy up what the host kept, once it has let go of its files.
    const std::vector<std::string> paths = host.tempFiles;
    host.ForgetHistory();
    for (const std::string& path : paths) {
        std::remove(path.c_str());
    }
}

std::string TestName(const ::testing::TestParamInfo<FaultCase>& param) {
    std::string name = CaseName(param.param);
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryServiceAndPair, FaultPathTest, ::testing::ValuesIn(AllFaultCases()),
                         TestName);

// Memory running out, at each of the module's allocations in turn, on the
// road of an autoreply that would otherwise be re-sent: start-up, then one
// DAEMON call. Each ends in its documented result and log lines, with no
// job created, no copy of the mail on disk and nothing leaked.
TEST(MemoryShortageTest, EachAllocationFailingEndsCleanly) {
    struct Case {
        const char* allocation; // the one that fails
        std::size_t failing;    // its place among the allocations, from 1
        std::vector<std::string> jobLogs;
        std::int32_t result;
        const char* messageIdLine; // of the replacement, when one is made
        bool serverHasDomain = true;
    };
    const std::vector<std::string> unable = {"Autoreply from bob@example.org found",
                                             "Unable to modify MAIL FROM in autoreply"};
    const Case cases[] = {
        // Start-up still succeeds, with an empty domain: the Message-ID
        // takes the configured sender's.
        {"domain at start-up",
         1,
         {"Autoreply from bob@example.org found", "MAIL FROM in autoreply modified by daemon"},
         1,
         "Message-ID: <ar1000@example.org>\r\n"},
        {"header value", 2, {}, 0, nullptr},
        {"found log line", 3, {}, 0, nullptr},
        {"Message-ID line", 4, unable, 0, nullptr},
        // A server without a domain setting: the sender's domain is copied.
        {"sender's domain", 3, unable, 0, nullptr, false},
    };
    const auto run = [](StandInServer& host) {
        ResetMessageIdSequence();
        SetFakeClock(1000);
        EXPECT_EQ(STARTUP(host.Block(), nullptr, nullptr, kConfiguredSender), 1);
        JobHandle incoming =
            host.AddIncomingJob(kNullSender, {"alice@example.net"}, Autoreply("bob@example.org"));
        return DAEMON(incoming, host.Block(), nullptr, kConfiguredSender);
    };
    {
        // The table names every allocation the module makes on this road.
        StandInServer host;
        FailModuleAllocation(0);
        EXPECT_EQ(run(host), 1);
        EXPECT_EQ(ModuleAllocationsMade(), 4u);
        StoreMessageIdDomain(nullptr);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.allocation);
        StandInServer host;
        host.faults.domainIsNull = !c.serverHasDomain;
        FailModuleAllocation(c.failing);
        const std::int32_t result = run(host);
        FailModuleAllocation(0);

        EXPECT_EQ(result, c.result);
        std::vector<std::string> logs;
        for (const LogEntry& entry : host.logs) {
            logs.push_back(entry.text);
        }
        std::vector<std::string> expected = {"Velmora daemon loaded successfully"};
        expected.insert(expected.end(), c.jobLogs.begin(), c.jobLogs.end());
        EXPECT_EQ(logs, expected);
        const std::vector<const HostJob*> created = host.CreatedJobs();
        ASSERT_EQ(created.size(), c.messageIdLine != nullptr ? 1u : 0u);
        if (c.messageIdLine != nullptr) {
            EXPECT_EQ(created[0]->Lines().at(0), c.messageIdLine);
        }
        ExpectHostClean(host);
        StoreMessageIdDomain(nullptr);
        EXPECT_EQ(ModuleAllocationsHeld(), 0u);
    }
}

} // namespace
