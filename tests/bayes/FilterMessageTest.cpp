// The Bayesian step: who is filtered, the home lock against the learning
// process, and the user's action on each verdict.
#include "BayesFixture.h"

#include "antispam/CAntiSpamConfig.h"

#include <unistd.h>

#include <functional>

// Sleep is replaced in this binary (a link seam): the lock's waits are counted and may run a step of the test.
static int g_sleeps = 0;
static std::function<void()> g_onSleep;

void Sleep(unsigned long)
{
    ++g_sleeps;
    if (g_onSleep)
        g_onSleep();
}

namespace {

using bayestest::BayesTest;

TEST_F(BayesTest, HomeLockWaitsOnlyForALiveLearner)
{
    const std::string lock = home + "/bayesian.lock", pids = tmp_ / "learn/bayesianlearn.pid";
    const auto pidOf = [](long p) { return std::string{char(p), char(p >> 8), char(p >> 16), char(p >> 24)}; };
    const std::string live = pidOf(::getpid()), dead = pidOf(2147483646); // above any pid_max
    struct Case {
        const char* name;
        std::string pid;               // the learner's pid file ("": none)
        int endsAt, unlocksAt, sleeps; // the waits at which the pid file or the lock goes; all waits
        bool want;
    } cases[] = {
        {"left over, no pid file", "", 0, 0, 0, true},
        {"left over by a dead learner", dead, 0, 0, 0, true},
        {"live learner for the whole wait", live, 0, 0, 60, false},
        {"learner ends during the wait", live, 3, 0, 3, true},
        {"learner unlocks during the wait", live, 0, 2, 2, true},
    };
    Configure("Type = EXE\nTimeOut = 1\n");
    CBayesianFilter filter;
    for (const auto& c : cases) {
        testsupport::WriteFile(lock, "");
        std::filesystem::remove(pids);
        if (!c.pid.empty())
            testsupport::WriteFile(pids, c.pid);
        g_sleeps = 0;
        g_onSleep = [&] { std::filesystem::remove(g_sleeps == c.endsAt ? pids : g_sleeps == c.unlocksAt ? lock : ""); };
        EXPECT_EQ(filter.LockHomeDir(home.c_str()), c.want) << c.name;
        g_onSleep = nullptr;
        EXPECT_EQ(g_sleeps, c.sleeps) << c.name;
        EXPECT_TRUE(std::filesystem::exists(lock)) << c.name;
        filter.UnlockHomeDir(home.c_str());
    }
}

TEST_F(BayesTest, ActionsOnEachVerdict)
{
    const std::string discard = "BayesianFilterAction=discard\r\n", bounce = "BayesianFilterAction=bounce\r\n",
                      subject = "BayesianFilterAction=changesubject\r\n";
    struct Case {
        std::string settings, sender;
        int want, mails = 0; // the result, the bounces sent
        bool runs = true;    // the plug-in was called
        std::string changed = "", config = PluginLines(); // a line of the changed copy; [BayesianFilter]
    } cases[] = {
        {discard, "ham@x", 0},
        {discard, "spam@x", 4},
        {discard + "WhiteList=spam@*\r\n", "spam@x", 10, 0, false},
        {bounce + "WhiteList=ham@*\r\n", "spam@x", 3, 1},
        {subject + "SpamSubject=[SPAM]\r\n", "spam@x", 6, 0, true, "Subject: [SPAM]\r\n"},
        {subject, "unsure@x", 0},
        {"BayesianFilterAction=X-Spam-Status\r\n", "spam@x", 6, 0, true, "X-Spam-Status: YES\r\n"},
        {"BayesianFilterAction=file\r\n", "spam@x", 7}, // the home is no store mailbox: filing fails, so does the step
        {"", "spam@x", 2, 0, false},
        {bounce, "spam@x", 9, 0, false, "", PluginLines() + "TimeOut = 0\n"},
        {bounce, "spam@x", 1, 0, false, "", "Type = DLL\nDllLocation = /nonexistent.so\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings + c.sender);
        testsupport::WriteFile(home + "/.bayesian", "");
        Configure(c.config);
        testsupport::WriteFile(home + "/antispam.cfg", c.settings);
        CAntiSpamConfig userSettings(home.c_str());
        CBayesianFilter filter;
        filter.SetAntiSpamConfig(&userSettings);
        EXPECT_EQ(filter.FilterMessage(c.sender.data(), "ann@x", home.data(), message.data(), output.data()), c.want);
        EXPECT_EQ(testsupport::ReadFile(home + "/.bayesian"), c.runs ? "ann@x " + message + " " + output + "\n" : "");
        EXPECT_EQ(Outgoing(true).size(), std::size_t(c.mails));
        EXPECT_EQ(c.changed.empty() || testsupport::ReadFile(output).find(c.changed) != std::string::npos, true);
        EXPECT_FALSE(std::filesystem::exists(home + "/bayesian.lock"));
    }
}

} // namespace
