// Common set-up for tests that drive the module's entry points inside the
// stand-in server: a fresh host, a fresh Message-ID sequence and a clean
// list of deletions, and helpers for the usual jobs.
#ifndef VELMORA_TESTS_MODULE_FIXTURE_H
#define VELMORA_TESTS_MODULE_FIXTURE_H

#include "daemon/entry_points.h"
#include "daemon/message_id.h"
#include "daemon/module_state.h"
#include "standin/standin_server.h"
#include "tests/support/fake_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

constexpr const char* kConfiguredSender = "relay@example.org";
constexpr const char* kNullSender = "<>";

// A minimal automatic reply with the given header value and extra lines.
inline std::string Autoreply(const std::string& autoreplyFrom, const std::string& extra = "") {
    return "From: bob@example.org\n"
           "Message-ID: <old@example.org>\n"
           "X-Autoreply-From: " +
           autoreplyFrom + "\n" + extra + "\nbody line\n";
}

// The module kept to the host's contracts and left nothing open,
// unreleased or undeleted.
inline void ExpectHostClean(const StandInServer& host) {
    EXPECT_EQ(host.violations, std::vector<std::string>{});
    EXPECT_EQ(host.Leaks(), "");
}

// Runs one job with the null sender through DAEMON on `host`, for cases
// that need a host of their own each.
inline std::int32_t RunAutoreply(StandInServer& host, const std::string& message,
                                 const std::vector<std::string>& recipients = {
                                     "alice@example.net"}) {
    JobHandle job = host.AddIncomingJob(kNullSender, recipients, message);
    return DAEMON(job, host.Block(), nullptr, kConfiguredSender);
}

class ModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetMessageIdSequence();
        StoreMessageIdDomain(nullptr);
        ClearDeletedPaths();
        SetFakeClock(1000);
    }

    // Whatever a test does, the host must be left clean. Tests that run on
    // hosts of their own check those themselves; an untouched fixture host
    // would prove nothing.
    void TearDown() override {
        if (!host.calls.empty()) {
            ExpectHostClean(host);
        }
    }

    JobHandle AddJob(const std::string& message, const std::string& sender = kNullSender,
                     const std::vector<std::string>& recipients = {"alice@example.net"}) {
        return host.AddIncomingJob(sender, recipients, message);
    }

    std::int32_t RunDaemon(JobHandle job, const char* sender = kConfiguredSender) {
        return DAEMON(job, host.Block(), nullptr, sender);
    }

    std::vector<std::string> LogTexts() const {
        std::vector<std::string> texts;
        for (const LogEntry& entry : host.logs) {
            texts.push_back(entry.text);
        }
        return texts;
    }

    // Lines of the only job the module created; fails the test if there is
    // not exactly one.
    const HostJob& OnlyCreatedJob() const {
        const std::vector<const HostJob*> jobs = host.CreatedJobs();
        EXPECT_EQ(jobs.size(), 1u);
        static const HostJob kNone;
        return jobs.empty() ? kNone : *jobs.front();
    }

    bool Called(const std::string& service) const {
        for (const std::string& call : host.calls) {
            if (call == service) {
                return true;
            }
        }
        return false;
    }

    StandInServer host;
};

#endif
