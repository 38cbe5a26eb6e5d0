// The "BayesianFilter" settings: which keys each type reads, their defaults,
// the learning pid file, the plug-in library, and Enable taking effect
// without a restart.
#include "BayesFixture.h"

namespace {

using bayestest::BayesTest;
using bayestest::Lines;

TEST_F(BayesTest, SettingsByTypeWithTheirDefaults)
{
    struct Case {
        std::string lines;
        int type;
        bool enabled, usable;
        int timeOut;
        std::string commandLine;
        bool moveSpam, moveHam;
    } cases[] = {
        {"", 0, false, false, 15, "", false, true},                               // no section
        {"Enable = YES\nCommandLine = x\n", 0, false, false, 15, "", false, true}, // no type: nothing read
        {"Type = exe\nCommandLine = f %M\n", 2, false, true, 15, "f %M", false, true},
        {"Type = EXE\nEnable = yes\nTimeOut = 0\nActionOnTrainedSpamMessage = move\n"
         "ActionOnTrainedHamMessage = DELETE\n",
         2, true, true, 0, "", true, false},
        {"Type = Other\nEnable = YES\n", 0, false, false, 15, "", false, true},
        {"Type = dll\nEnable = yes\nDllLocation = /nonexistent/plugin.so\nCommandLine = f\n", 1, true, false, 15, "",
         false, true},
        {bayestest::BayesTest::PluginLines() + "TimeOut = 3\n", 1, true, true, 3, "", false, true},
    };
    for (const auto& c : cases) {
        Configure(c.lines);
        CBayesianFilter filter;
        EXPECT_EQ(filter.GetType(), c.type) << c.lines;
        EXPECT_EQ(filter.IsEnabled(), c.enabled) << c.lines;
        EXPECT_EQ(filter.IsUsable(), c.usable) << c.lines;
        EXPECT_EQ(filter.GetTimeOut(), c.timeOut) << c.lines;
        EXPECT_EQ(filter.GetCommandLine(), c.commandLine) << c.lines;
        EXPECT_EQ(filter.MovesTrainedSpam(), c.moveSpam) << c.lines;
        EXPECT_EQ(filter.MovesTrainedHam(), c.moveHam) << c.lines;
        EXPECT_EQ(filter.GetLearnPidPath(), tmp_ / "learn/bayesianlearn.pid");
    }
    EXPECT_EQ(log.Lines(), Lines{}) << "a library that does not load is no message at construction";
}

TEST_F(BayesTest, LearningCommandsAreKeptForBothTypes)
{
    const std::string commands = "AddHamMessageCommand = a %M\nAddSpamMessageCommand = b\n"
                                 "RemoveHamMessageCommand = c\nRemoveSpamMessageCommand = d\n";
    for (const std::string type : {"DLL", "EXE"}) {
        Configure("Type = " + type + "\n" + commands);
        CBayesianFilter filter;
        EXPECT_EQ(filter.GetAddHamMessageCommand() + filter.GetAddSpamMessageCommand() +
                      filter.GetRemoveHamMessageCommand() + filter.GetRemoveSpamMessageCommand(),
                  "a %Mbcd")
            << type;
    }
}

TEST_F(BayesTest, EnableIsReadAgainUntilTheFilterIsEnabled)
{
    Configure("Type = EXE\nEnable = NO\nCommandLine = first\n");
    CBayesianFilter filter;
    EXPECT_FALSE(filter.IsEnabled());
    Configure("Type = EXE\nEnable = YES\nCommandLine = second\n");
    EXPECT_TRUE(filter.IsEnabled());
    EXPECT_EQ(filter.GetCommandLine(), "second");
    Configure("Type = EXE\nEnable = NO\nCommandLine = third\n");
    EXPECT_TRUE(filter.IsEnabled()) << "once enabled, the settings stay until the agent is built anew";
    EXPECT_EQ(filter.GetCommandLine(), "second");
}

TEST_F(BayesTest, NoQueueDirectoryMeansNoLearnerFile)
{
    testsupport::WriteFile(tmp_ / "other.ini", "[BayesianFilter]\nType = EXE\n");
    ::setenv("LOCMAIL_CONFIG", (tmp_ / "other.ini").c_str(), 1);
    CBayesianFilter filter;
    EXPECT_EQ(filter.GetLearnPidPath(), "");
    EXPECT_FALSE(filter.IsLearnerRunning());
}

} // namespace
