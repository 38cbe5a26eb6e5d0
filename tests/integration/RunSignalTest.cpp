// `locmail run` as a service: new entries picked up while it idles, and
// SIGTERM in the middle of a long queue, across its restarts.
#include "integration/RunSupport.h"
#include "suite/platform/Process.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

using namespace testsupport;
using namespace std::chrono_literals;

locmail::Process StartRun(const Installation& inst)
{
    ::unsetenv("LOCMAIL_CONFIG");
    return locmail::Process::Start({LOCMAIL_BINARY, "--config", inst.Config(), "run"});
}

bool Logged(const Installation& inst, const std::string& module, const std::string& line)
{
    auto lines = LogLines(inst, module);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

long CountLogged(const Installation& inst, const std::string& prefix)
{
    auto lines = LogLines(inst, "LocalMail");
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
}

TEST(RunService, PicksUpAnArrivingMessageAndStopsOnTerm)
{
    Installation inst;
    MustRun(inst, {"user", "add", "bob@example.org"});
    auto run = StartRun(inst);
    ASSERT_TRUE(Eventually([&] { return Logged(inst, "LocalMail", "5 LocalMail: OK"); }, 10s));

    const std::string text = "Subject: late\r\n\r\nhere now\r\n";
    MustRun(inst, {"inject", "-f", "alice@example.org", "bob@example.org"}, text);
    EXPECT_TRUE(Eventually([&] { return Filed(inst, "bob@example.org", 1) == text; }, 10s));

    ASSERT_EQ(::kill(static_cast<pid_t>(run.Pid()), SIGTERM), 0);
    EXPECT_EQ(run.Wait(), 0);
    auto lines = LogLines(inst, "Run");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("5 Run: Delivery run ends (stop requested), status 0")) << lines.back();
}

TEST(RunService, TermDuringALongQueueDeliversEachMessageOnceOrLeavesItQueued)
{
    constexpr int kMessages = 5000;
    constexpr int kUsers = 5;
    Installation inst;
    for (int u = 0; u < kUsers; ++u)
        MustRun(inst, {"user", "add", "u" + std::to_string(u) + "@example.org"});
    for (int i = 0; i < kMessages; ++i) {
        QueueDirectly(inst, static_cast<uint32_t>(i + 1), "alice@example.org",
                      {"u" + std::to_string(i % kUsers) + "@example.org"}, "Subject: m" + std::to_string(i) + "\r\n\r\nnumber " + std::to_string(i) + "\r\n");
    }

    auto run = StartRun(inst);
    // Past the first restart (after 2002 messages), so the signal meets a restarted process.
    ASSERT_TRUE(Eventually([&] { return CountLogged(inst, "5 LocalMail: Processed 1 recipient") > 2100; }, 120s));
    ASSERT_EQ(::kill(static_cast<pid_t>(run.Pid()), SIGTERM), 0);
    EXPECT_EQ(run.Wait(), 0);
    auto runLines = LogLines(inst, "Run");
    EXPECT_EQ(std::count_if(runLines.begin(), runLines.end(),
                            [](const std::string& l) { return l.starts_with("5 Run: Restarting after"); }),
              std::count_if(runLines.begin(), runLines.end(),
                            [](const std::string& l) { return l.starts_with("5 Run: Delivery run starts"); }) - 1);
    EXPECT_TRUE(runLines.back().starts_with("5 Run: Delivery run ends (stop requested), status 0")) << runLines.back();

    std::map<std::string, int> seen;
    for (int u = 0; u < kUsers; ++u) {
        for (const auto& subject : InboxSubjects(inst, "u" + std::to_string(u) + "@example.org"))
            ++seen[subject];
    }
    const long delivered = static_cast<long>(seen.size());
    for (const auto& entry : OnChannel(inst, "local")) {
        std::string text = EntryText(inst, entry.id);
        ++seen[text.substr(9, text.find("\r\n") - 9)]; // "Subject: mN"
    }
    EXPECT_GT(delivered, 2100);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kMessages));
    for (const auto& [subject, times] : seen)
        EXPECT_EQ(times, 1) << subject << " delivered or queued more than once";
}

} // namespace
