// The filter's settings (the keys each type reads, their defaults, the learning pid file) and its runs: the
// exit-code lists, the program (arguments split before the placeholders are filled, standard input, time limit)
// and the plug-in.
#include "BayesFixture.h"

#include "bayes/ExitCodeList.h"
#include "suite/platform/Process.h"

#include <sys/stat.h>

namespace {

using bayestest::BayesTest;

// Type, Enable, usable, TimeOut/ProgramTimeOut, CommandLine, trained mail moved, the learning commands.
std::string Summary(CBayesianFilter& f)
{
    return std::to_string(f.GetType()) + (f.IsEnabled() ? " on" : " off") + (f.IsUsable() ? " usable " : " unusable ") +
           std::to_string(f.GetTimeOut()) + "/" + std::to_string(f.GetProgramTimeOut()) + " '" + f.GetCommandLine() +
           "'" + (f.MovesTrainedSpam() ? " move-spam" : "") + (f.MovesTrainedHam() ? " move-ham" : "") + " '" +
           f.GetAddHamMessageCommand() + f.GetAddSpamMessageCommand() + f.GetRemoveHamMessageCommand() +
           f.GetRemoveSpamMessageCommand() + "'";
}

TEST_F(BayesTest, SettingsByTypeWithTheirDefaults)
{
    const std::string learning = "AddHamMessageCommand = a %M\nAddSpamMessageCommand = b\n"
                                 "RemoveHamMessageCommand = c\nRemoveSpamMessageCommand = d\n";
    const std::pair<std::string, std::string> cases[] = {
        {"Type = Other\nEnable = YES\nCommandLine = x\n", "0 off unusable 15/60 '' move-ham ''"}, // nothing read
        {"Type = exe\nCommandLine = f %M\nProgramTimeOut = 7\n", "2 off usable 15/7 'f %M' move-ham 'a %Mbcd'"},
        {"Type = EXE\nEnable = yes\nTimeOut = 0\nProgramTimeOut = 0\nActionOnTrainedSpamMessage = move\n"
         "ActionOnTrainedHamMessage = DELETE\n", "2 on usable 0/60 '' move-spam 'a %Mbcd'"},
        {"Type = dll\nDllLocation = /none.so\nCommandLine = x\n", "1 off unusable 15/60 '' move-ham 'a %Mbcd'"},
        {PluginLines() + "TimeOut = 3\nProgramTimeOut = 7\n", "1 on usable 3/60 '' move-ham 'a %Mbcd'"},
    };
    for (const auto& [lines, want] : cases) {
        Configure(lines + learning);
        CBayesianFilter filter;
        EXPECT_EQ(Summary(filter), want) << lines;
        EXPECT_EQ(filter.GetLearnPidPath(), tmp_ / "learn/bayesianlearn.pid");
    }

    testsupport::WriteFile(tmp_ / "other.ini", "[Mail]\nPostmaster = pm@x\n"); // no section, no queue directory
    ::setenv("LOCMAIL_CONFIG", (tmp_ / "other.ini").c_str(), 1);
    CBayesianFilter none;
    EXPECT_EQ(Summary(none) + " " + none.GetLearnPidPath(),
              "0 off unusable 15/60 '' move-ham '' /var/spool/locmail/bayesianlearn.pid");
}

TEST(ExitCodeListTest, ItemsAreReadAsAtoiReadsThem)
{
    const std::tuple<std::string, int, bool> cases[] = {
        {"", 0, false},    {"0", 0, true},   {"1,5", 5, true}, {" 1, 5", 5, true}, {"1,5", 0, false}, {"1,,5", 0, true},
        {"1,", 0, false},  {"-1", -1, true}, {"2x,3", 2, true}, {"x", 0, true},     {"7", 70, false}, {"3 4", 4, false},
    };
    for (const auto& [list, code, want] : cases)
        EXPECT_EQ(locmail::bayes::ExitCodeListContains(list, code), want) << '"' << list << "\" " << code;
}

// Filter programs are shell scripts that first leave their pid in NAME.pid;
// the exit-code lists overlap, so the order they are checked in shows.
class ProgramTest : public BayesTest {
protected:
    int RunWith(const std::string& commandLine, const std::string& sender = "someone@far.example")
    {
        Configure("Type = EXE\nReturnCodeForHam = 1\nReturnCodeForSpam = 1,5\nReturnCodeForUndetermined = 5,2\n"
                  "ReturnCodeForError = 2,,3\nProgramTimeOut = 1\nCommandLine = " + commandLine + "\n");
        CBayesianFilter filter;
        return filter.Run(sender.c_str(), "ann@x", home.c_str(), message.c_str(), output.c_str());
    }
    std::string Script(const std::string& name, const std::string& body)
    {
        testsupport::WriteFile(tmp_ / name, "#!/bin/sh\necho $$ > \"$0.pid\"\n" + body);
        ::chmod((tmp_ / name).c_str(), 0755);
        return tmp_ / name;
    }
};

TEST_F(ProgramTest, ExitCodesArgumentsInputFailuresAndTimeLimit)
{
    // Records its arguments and standard input beside itself and exits with its first argument.
    const std::string program = Script("filter", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n"
                                                 "cat > \"$0.input\"\nexit \"$1\"\n");
    // 0 is the error list's empty item; 4 is in no list: the message goes on as ham.
    for (const auto& [code, want] : {std::pair{1, 0}, {5, 1}, {2, 2}, {3, 3}, {0, 3}, {4, 0}})
        EXPECT_EQ(RunWith(program + " " + std::to_string(code)), want) << code;
    EXPECT_EQ(testsupport::ReadFile(program + ".input"), "") << "no '|': nothing on standard input";
    for (const std::string sender : {"\"a;rm -rf ~\"@x", "$(reboot)@x", "a\\\" b@x", "`id` |x@y"}) {
        EXPECT_EQ(RunWith("  |  " + program + " 5 \"-f=%f\" %R%b %M %o %m%x %%R 100%", sender), 1) << sender;
        EXPECT_EQ(testsupport::ReadFile(program + ".args"), "5\n-f=" + sender + "\nann@x" + home + "/.bayesian\n" +
                                                                message + "\n" + output + "\n%m%x\n%ann@x\n100%\n");
        EXPECT_EQ(testsupport::ReadFile(program + ".input"), bayestest::kMessage);
    }

    // Failed runs are logged and the message goes on; a hanging program is killed at its time limit.
    const std::string hang = Script("hang", "exec yes\n"), mute = Script("mute", "exec >&- 2>&-\nexec sleep 30\n");
    const std::pair<std::string, std::string> cases[] = {
        {"", "RunProgram - No CommandLine in section BayesianFilter of qxmta.ini"},
        {tmp_ / "missing", "RunCommand - Cannot start " + std::string(tmp_ / "missing")},
        {hang, "RunCommand - " + hang + " did not end within 1 seconds and was killed"},
        {mute, "RunCommand - " + mute + " did not end within 1 seconds and was killed"},
        {"|" + hang, "RunCommand - Cannot read " + std::string(tmp_ / "gone.msg")},
    };
    for (const auto& [commandLine, logged] : cases) {
        if (commandLine.starts_with('|'))
            message = tmp_ / "gone.msg";
        EXPECT_EQ(RunWith(commandLine), commandLine.empty() ? 3 : 0) << commandLine;
        const std::string last = log.LinesOf("Bayesian filter").back();
        EXPECT_TRUE(last.starts_with("1 Bayesian filter: " + logged)) << last;
    }
    for (const std::string& killed : {hang, mute})
        EXPECT_FALSE(locmail::IsProcessAlive(std::stol(testsupport::ReadFile(killed + ".pid")))) << killed;
}

TEST_F(BayesTest, PluginVerdictsAndFailures)
{
    Configure(PluginLines());
    CBayesianFilter filter;
    for (const auto& [sender, want] : {std::pair{"ham@x", 0}, {"spam@x", 1}, {"unsure@x", 2}, {"other@x", 3}})
        EXPECT_EQ(filter.Run(sender, "ann@x", home.c_str(), message.c_str(), output.c_str()), want) << sender;
    Configure(PluginLines("NoSuchFunction"));
    CBayesianFilter noFunction;
    EXPECT_EQ(noFunction.Run("spam@x", "ann@x", home.c_str(), message.c_str(), output.c_str()), 3);
    EXPECT_EQ(log.LinesOf("Bayesian filter").back(),
              "1 Bayesian filter: Bayesian filter function NoSuchFunction not found in " LOCMAIL_BAYES_TEST_PLUGIN);
    const std::string call = "ann@x " + message + " " + output + "\n";
    EXPECT_EQ(testsupport::ReadFile(home + "/.bayesian"), call + call + call + call) << "data path, message, output";
}

} // namespace
