// Running the filter: the command-line template, the exit-code lists, the
// external program (arguments, standard input, time limit) and the plug-in.
#include "BayesFixture.h"

#include "bayes/CommandLineTemplate.h"
#include "bayes/ExitCodeList.h"

namespace {

using bayestest::BayesTest;
using bayestest::Lines;
using locmail::bayes::BuildCommandLine;
using locmail::bayes::BuildProgramCall;
using locmail::bayes::ExitCodeListContains;

const locmail::bayes::PlaceholderTexts kTexts{"s@x", "r@x", "/h/.bayesian", "/q/1.msg", "/tmp/lmda1"};

TEST(CommandLineTemplateTest, PlaceholdersAndPercentSigns)
{
    const std::pair<std::string, std::string> cases[] = {
        {"f -s %F -r %r -d %b -m %M -o %O", "f -s s@x -r r@x -d /h/.bayesian -m /q/1.msg -o /tmp/lmda1"},
        {"f %m %x %", "f %m %x %"},
        {"f %%R 100%", "f %r@x 100%"},
        {"%f%R", "s@xr@x"},
    };
    for (const auto& [pattern, want] : cases)
        EXPECT_EQ(BuildCommandLine(pattern, kTexts), want) << pattern;
}

TEST(CommandLineTemplateTest, AddressesStayInsideTheirArgument)
{
    const std::string hostile[] = {"\"a;rm -rf ~\"@x", "$(reboot)@x", "a\\\" b@x", "`id` |x@y"};
    for (const std::string& sender : hostile) {
        const auto call = BuildProgramCall("  |  prog \"-from=%F\" %R", {sender.c_str(), "r@x", "", "", ""});
        EXPECT_TRUE(call.messageOnInput);
        EXPECT_EQ(call.arguments, (Lines{"prog", "-from=" + sender, "r@x"})) << sender;
        EXPECT_EQ(call.commandLine, "  |  prog \"-from=" + sender + "\" r@x");
    }
    EXPECT_FALSE(BuildProgramCall(" prog |x", kTexts).messageOnInput);
}

TEST(ExitCodeListTest, AtoiItems)
{
    struct Case {
        std::string list;
        int code;
        bool want;
    } cases[] = {
        {"", 0, false},    {"0", 0, true},     {"1,5", 5, true},   {" 1, 5", 5, true}, {"1,5", 0, false},
        {"1,,5", 0, true}, {"1,", 0, false},   {"-1", -1, true},   {"2x,3", 2, true},  {"x", 0, true},
        {"7", 70, false},  {"3 4", 4, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExitCodeListContains(c.list, c.code), c.want) << '"' << c.list << "\" " << c.code;
}

TEST_F(BayesTest, ExitCodesAreCheckedHamSpamUndeterminedErrorInThatOrder)
{
    Configure("Type = EXE\nReturnCodeForHam = 1\nReturnCodeForSpam = 1,5\nReturnCodeForUndetermined = 5,2\n"
              "ReturnCodeForError = 2,,3\n");
    CBayesianFilter filter;
    const std::pair<int, int> cases[] = {{1, 0}, {5, 1}, {2, 2}, {0, 3}, {3, 3}, {4, 4}, {-1, 4}};
    for (const auto& [code, want] : cases)
        EXPECT_EQ(filter.MapExitCode(code), want) << code;
}

// A filter program that records its arguments and standard input beside
// itself and exits with its first argument.
class ProgramTest : public BayesTest {
protected:
    void SetUp() override
    {
        BayesTest::SetUp();
        program = Script("filter", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n"
                                   "cat > \"$0.input\"\nexit \"$1\"\n");
    }
    int RunWith(const std::string& commandLine, const char* sender = "someone@far.example")
    {
        Configure("Type = EXE\nEnable = YES\nReturnCodeForHam = 10\nReturnCodeForSpam = 11\n"
                  "ReturnCodeForUndetermined = 12\nReturnCodeForError = 13\nProgramTimeOut = 1\nCommandLine = " +
                  commandLine + "\n");
        CBayesianFilter filter;
        return filter.Run(sender, "ann@local.example", home.c_str(), message.c_str(), output.c_str());
    }
    std::string Recorded(const char* what) { return testsupport::ReadFile(program + what); }

    std::string program;
};

TEST_F(ProgramTest, ExitCodesBecomeRunResults)
{
    const std::pair<std::string, int> cases[] = {{"10", 0}, {"11", 1}, {"12", 2}, {"13", 3}, {"0", 0}, {"99", 0}};
    for (const auto& [code, want] : cases) {
        log.Clear();
        EXPECT_EQ(RunWith(program + " " + code), want) << code;
    }
    EXPECT_EQ(Recorded(".input"), "") << "no '|': nothing on standard input";
    EXPECT_EQ(log.LinesOf("Bayesian filter"),
              (Lines{"5 Bayesian filter: Using EXE", "6 Bayesian filter: Executing cmdline :" + program + " 99",
                     "5 Bayesian filter: ExitCode: 99"}));
}

TEST_F(ProgramTest, ArgumentsAndStandardInput)
{
    for (const char* sender : {"\"a;rm -rf ~\"@x", "$(reboot)@x"}) {
        EXPECT_EQ(RunWith("  |  " + program + " 11 %F -r=%r %B %M %O %m", sender), 1);
        EXPECT_EQ(Recorded(".args"), "11\n" + std::string(sender) + "\n-r=ann@local.example\n" + home +
                                         "/.bayesian\n" + message + "\n" + output + "\n%m\n");
        EXPECT_EQ(Recorded(".input"), bayestest::kMessage);
    }
}

TEST_F(ProgramTest, FailedRunsGiveMinusOneWhichNoListHolds)
{
    const std::string hang = Script("hang", "exec yes\n");
    const std::string detached = Script("detached", "exec >/dev/null 2>&1\nexec sleep 30\n");
    const std::string cases[] = {"", tmp_ / "missing-program", "|" + program + " 11", hang, detached};
    for (const std::string& commandLine : cases) {
        log.Clear();
        if (commandLine.starts_with('|'))
            message = tmp_ / "no-such.msg";
        EXPECT_EQ(RunWith(commandLine), commandLine.empty() ? 3 : 0) << commandLine;
        const Lines lines = log.LinesOf("Bayesian filter");
        ASSERT_GE(lines.size(), 2u) << commandLine;
        EXPECT_EQ(lines[commandLine.empty() ? 1 : 2].substr(0, 22), "1 Bayesian filter: Run") << commandLine;
    }
}

TEST_F(BayesTest, PluginVerdictsAndFailures)
{
    struct Case {
        std::string lines;
        const char* sender;
        int want;
        std::string lastLog;
    } cases[] = {
        {PluginLines(), "ham@x", 0, "5 Bayesian filter: Bayesian filter DLL return code: 0"},
        {PluginLines(), "spam@x", 1, "5 Bayesian filter: Bayesian filter DLL return code: 1"},
        {PluginLines(), "unsure@x", 2, "5 Bayesian filter: Bayesian filter DLL return code: 2"},
        {PluginLines(), "other@x", 3, "5 Bayesian filter: Bayesian filter DLL return code: 7"},
        {PluginLines("NoSuchFunction"), "spam@x", 3,
         "1 Bayesian filter: Bayesian filter function NoSuchFunction not found in " LOCMAIL_BAYES_TEST_PLUGIN},
        {"Type = DLL\nDllLocation = " + std::string(tmp_ / "none.so") + "\n", "spam@x", 4, ""},
    };
    for (const auto& c : cases) {
        Configure(c.lines);
        CBayesianFilter filter;
        log.Clear();
        EXPECT_EQ(filter.Run(c.sender, "ann@x", home.c_str(), message.c_str(), output.c_str()), c.want) << c.sender;
        const Lines lines = log.LinesOf("Bayesian filter");
        EXPECT_EQ(lines.empty() ? "" : lines.back(), c.lastLog) << c.sender;
    }
    EXPECT_EQ(PluginCalls(), "ann@x " + message + " " + output + "\n" + "ann@x " + message + " " + output + "\n" +
                                 "ann@x " + message + " " + output + "\n" + "ann@x " + message + " " + output + "\n");
}

TEST_F(BayesTest, APluginThatAppearsLaterIsLoadedAtTheNextRun)
{
    const std::string later = tmp_ / "later.so";
    Configure("Type = DLL\nFunctionName = ClassifyForTests\nDllLocation = " + later + "\n");
    CBayesianFilter filter;
    EXPECT_EQ(filter.Run("spam@x", "ann@x", home.c_str(), message.c_str(), output.c_str()), 4);
    std::filesystem::copy_file(LOCMAIL_BAYES_TEST_PLUGIN, later);
    EXPECT_EQ(filter.Run("spam@x", "ann@x", home.c_str(), message.c_str(), output.c_str()), 1);
}

} // namespace
