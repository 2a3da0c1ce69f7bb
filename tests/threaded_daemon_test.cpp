// The shipped module called from many threads at once, as a real mail
// server's worker threads call it: every replacement exact, every
// Message-ID distinct, nothing left behind. Run under ThreadSanitizer too.
#include "standin/module_loader.h"
#include "standin/temp_files.h"
#include "tests/support/threaded_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

constexpr const char* kSender = "relay@example.org";
constexpr int kThreads = 8;
constexpr int kAutorepliesPerThread = 1000;

const std::vector<std::string> kMessage = {
    "From: Bob <bob@example.org>\r\n",
    "Message-ID: <old@example.org>\r\n",
    "X-Autoreply-From: bob@example.org\r\n",
    "\r\n",
    "I am away.\r\n",
};

// Runs the autoreplies of one worker; returns how many came back 1.
int RunWorker(DaemonEntryFn daemon, const HostServiceBlock* block, int worker) {
    int sent = 0;
    for (int i = 0; i < kAutorepliesPerThread; ++i) {
        ThreadedJob incoming;
        incoming.sender = "<>";
        incoming.recipients = {"w" + std::to_string(worker) + "-" + std::to_string(i) + "@x.y"};
        incoming.lines = kMessage;
        sent += daemon(reinterpret_cast<JobHandle>(&incoming), block, nullptr, kSender);
    }
    return sent;
}

TEST(ThreadedDaemonTest, WorkersRunningAtOnceGetExactReplacementsAndDistinctIds) {
    LoadedModule module;
    std::string error;
    ASSERT_EQ(module.Load(ExecutableDirectory() + ModuleFileName(), &error), LoadOutcome::kLoaded)
        << error;
    const HostServiceBlock* block = ThreadedHostBlock();
    ASSERT_EQ(module.Startup()(block, nullptr, nullptr, kSender) & 0xFFu, 1u);

    // The workers wait for each other, so that their calls really overlap.
    std::atomic<int> waiting{kThreads};
    std::atomic<int> sent{0};
    std::vector<std::thread> workers;
    for (int worker = 0; worker < kThreads; ++worker) {
        workers.emplace_back([&, worker] {
            waiting.fetch_sub(1);
            while (waiting.load() != 0) {
                std::this_thread::yield();
            }
            sent.fetch_add(RunWorker(module.Daemon(), block, worker));
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }

    constexpr int kTotal = kThreads * kAutorepliesPerThread;
    EXPECT_EQ(sent.load(), kTotal);
    EXPECT_EQ(ThreadedViolations(), std::vector<std::string>{});
    EXPECT_EQ(ThreadedLogs().size(), 1u + 2u * kTotal);

    std::set<std::string> ids;
    std::set<std::string> recipients;
    const auto created = ThreadedCreatedJobs();
    ASSERT_EQ(created.size(), static_cast<std::size_t>(kTotal));
    for (const auto& job : created) {
        ASSERT_EQ(job->lines.size(), kMessage.size());
        EXPECT_EQ(job->lines[0].rfind("Message-ID: <ar", 0), 0u) << job->lines[0];
        ids.insert(job->lines[0]);
        EXPECT_EQ(job->lines[1], kMessage[0]);
        EXPECT_EQ(job->lines[2], kMessage[2]);
        EXPECT_EQ(job->lines[3], kMessage[3]);
        EXPECT_EQ(job->lines[4], kMessage[4]);
        EXPECT_EQ(job->sender, kSender);
        EXPECT_EQ(job->closeCalls, 1);
        EXPECT_EQ(job->releaseCalls, 1);
        ASSERT_EQ(job->recipients.size(), 1u);
        recipients.insert(job->recipients[0]);
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kTotal));
    EXPECT_EQ(recipients.size(), static_cast<std::size_t>(kTotal)); // no job got another's
    for (const std::string& path : ThreadedTempPaths()) {
        EXPECT_FALSE(FileExists(path)) << path;
    }
}

} // namespace
