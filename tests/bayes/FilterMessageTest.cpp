// The Bayesian step: who is filtered, the home lock against the learning
// process, and the user's action on each verdict.
#include "BayesFixture.h"

#include "antispam/CAntiSpamConfig.h"

#include <unistd.h>

#include <functional>

namespace {

// Sleep is replaced in this binary (a link seam): the lock's waits are counted
// and may run a step of the test instead of passing time.
int g_sleeps = 0;
std::function<void()> g_onSleep;

} // namespace

void Sleep(unsigned long)
{
    ++g_sleeps;
    if (g_onSleep)
        g_onSleep();
}

namespace {

using bayestest::BayesTest;
using bayestest::Lines;

class FilterMessageTest : public BayesTest {
protected:
    void SetUp() override
    {
        BayesTest::SetUp();
        g_sleeps = 0;
        g_onSleep = nullptr;
        std::filesystem::create_directory(tmp_ / "learn");
    }
    void TearDown() override
    {
        g_onSleep = nullptr;
        BayesTest::TearDown();
    }

    void WriteLearnerPid(long pid, std::size_t bytes = 4)
    {
        const unsigned char le[4] = {static_cast<unsigned char>(pid), static_cast<unsigned char>(pid >> 8),
                                     static_cast<unsigned char>(pid >> 16), static_cast<unsigned char>(pid >> 24)};
        testsupport::WriteFile(tmp_ / "learn/bayesianlearn.pid", std::string(reinterpret_cast<const char*>(le), bytes));
    }
    std::string LockPath() const { return home + "/bayesian.lock"; }

    int Filter(const std::string& settings, const char* sender, const std::string& config = PluginLines())
    {
        Configure(config);
        testsupport::WriteFile(home + "/antispam.cfg", settings);
        CAntiSpamConfig userSettings(home.c_str());
        CBayesianFilter filter;
        filter.SetAntiSpamConfig(&userSettings);
        return filter.FilterMessage(sender, "ann@local.example", home.c_str(), message.c_str(), output.c_str());
    }
};

TEST_F(FilterMessageTest, LockWaitsOnlyForALiveLearner)
{
    const long deadPid = 2147483646; // above any pid_max
    struct Case {
        const char* name;
        bool lockPresent;
        long learnerPid; // 0: no pid file
        std::size_t pidBytes;
        int timeOut;
        std::function<void()> onSleep;
        bool want;
        int wantSleeps;
    } cases[] = {
        {"free", false, 0, 4, 15, nullptr, true, 0},
        {"TimeOut 0", false, 0, 4, 0, nullptr, false, 0},
        {"left over, no pid file", true, 0, 4, 15, nullptr, true, 0},
        {"left over by a dead learner", true, deadPid, 4, 15, nullptr, true, 0},
        {"short pid file", true, ::getpid(), 3, 15, nullptr, true, 0},
        {"live learner for the whole wait", true, ::getpid(), 4, 1, nullptr, false, 60},
        {"learner ends during the wait", true, ::getpid(), 4, 1,
         [this] {
             if (g_sleeps == 3)
                 std::filesystem::remove(tmp_ / "learn/bayesianlearn.pid");
         },
         true, 3},
        {"learner unlocks during the wait", true, ::getpid(), 4, 1,
         [this] {
             if (g_sleeps == 2)
                 std::filesystem::remove(LockPath());
         },
         true, 2},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(LockPath());
        std::filesystem::remove(tmp_ / "learn/bayesianlearn.pid");
        if (c.lockPresent)
            testsupport::WriteFile(LockPath(), "");
        if (c.learnerPid != 0)
            WriteLearnerPid(c.learnerPid, c.pidBytes);
        Configure("Type = EXE\nTimeOut = " + std::to_string(c.timeOut) + "\n");
        CBayesianFilter filter;
        g_sleeps = 0;
        g_onSleep = c.onSleep;
        EXPECT_EQ(filter.LockHomeDir(home.c_str()), c.want) << c.name;
        EXPECT_EQ(g_sleeps, c.wantSleeps) << c.name;
        EXPECT_EQ(std::filesystem::exists(LockPath()), c.want || c.lockPresent) << c.name;
        filter.UnlockHomeDir(home.c_str());
        EXPECT_FALSE(std::filesystem::exists(LockPath())) << c.name;
    }
}

TEST_F(FilterMessageTest, ActionsOnEachVerdict)
{
    struct Case {
        std::string settings;
        const char* sender;
        int want;
        bool runs = true;
        std::size_t mails = 0;
        std::string outputHeader = ""; // a line the changed message has
    } cases[] = {
        {"BayesianFilterAction=discard\r\n", "ham@x", 0},
        {"BayesianFilterAction=discard\r\n", "spam@x", 4},
        {"BayesianFilterAction=bounce\r\n", "spam@x", 3, true, 1},
        {"BayesianFilterAction=changesubject\r\nSpamSubject=[SPAM]\r\n", "spam@x", 6, true, 0, "Subject: [SPAM]\r\n"},
        {"BayesianFilterAction=X-Spam-Status\r\n", "spam@x", 6, true, 0, "X-Spam-Status: YES\r\n"},
        {"BayesianFilterAction=changesubject\r\n", "unsure@x", 0},
        {"BayesianFilterAction=discard\r\n", "other@x", 7},
        {"", "spam@x", 2, false},
        {"BayesianFilterAction=discard\r\nWhiteList=spam@*\r\n", "spam@x", 10, false},
        {"BayesianFilterAction=bounce\r\nWhiteList=ham@*\r\n", "spam@x", 3, true, 1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(home + "/.bayesian");
        std::filesystem::remove(output);
        EXPECT_EQ(Filter(c.settings, c.sender), c.want) << c.settings << c.sender;
        EXPECT_EQ(!PluginCalls().empty(), c.runs) << c.settings << c.sender;
        EXPECT_EQ(Outgoing(true).size(), c.mails) << c.settings << c.sender;
        if (!c.outputHeader.empty()) {
            EXPECT_NE(testsupport::ReadFile(output).find(c.outputHeader), std::string::npos) << c.settings;
        }
        EXPECT_FALSE(std::filesystem::exists(LockPath())) << c.settings << c.sender;
    }
}

TEST_F(FilterMessageTest, FailuresOfTheFilterTheActionAndTheLock)
{
    // The home is no mailbox of a store: filing fails, and so does the step.
    EXPECT_EQ(Filter("BayesianFilterAction=file\r\n", "spam@x"), 7);
    EXPECT_EQ(Filter("BayesianFilterAction=file\r\n", "unsure@x"), 7);
    EXPECT_EQ(Filter("BayesianFilterAction=bounce\r\n", "spam@x", PluginLines() + "TimeOut = 0\n"), 9);
    EXPECT_EQ(Filter("BayesianFilterAction=bounce\r\n", "spam@x", "Type = DLL\nDllLocation = /nonexistent.so\n"), 1);
    Configure(PluginLines());
    CBayesianFilter filter;
    EXPECT_EQ(filter.FilterMessage("spam@x", "ann@x", home.c_str(), message.c_str(), output.c_str()), 8);
    EXPECT_EQ(PluginCalls(), "ann@local.example " + message + " " + output + "\n" + "ann@local.example " + message +
                                 " " + output + "\n");
}

} // namespace
