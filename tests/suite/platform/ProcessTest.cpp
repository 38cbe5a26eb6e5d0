#include "suite/platform/Process.h"

#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

using locmail::IsProcessAlive;
using locmail::Process;

TEST(ProcessTest, CatEchoesItsInput)
{
    Process cat = Process::Start({"/bin/cat"});
    ASSERT_TRUE(cat.Started()) << cat.StartErrorText();
    ASSERT_TRUE(cat.WriteInput("hello\n"));
    cat.CloseInput();
    std::string out;
    ASSERT_TRUE(cat.ReadOutput(out));
    EXPECT_EQ(out, "hello\n");
    EXPECT_EQ(cat.Wait(), 0);
    EXPECT_EQ(cat.Wait(), 0);
}

// Far more than a pipe holds in both directions: writing all input before
// reading would block forever.
TEST(ProcessTest, CommunicateMovesLargeDataBothWays)
{
    std::string input;
    for (int i = 0; input.size() < 4 * 1024 * 1024; ++i)
        input += "line " + std::to_string(i) + "\n";
    Process cat = Process::StartCommandLine("cat");
    ASSERT_TRUE(cat.Started()) << cat.StartErrorText();
    std::string out;
    ASSERT_TRUE(cat.Communicate(input, out));
    EXPECT_EQ(out.size(), input.size());
    EXPECT_TRUE(out == input);
    EXPECT_EQ(cat.Wait(), 0);
}

TEST(ProcessTest, ChildThatIgnoresItsInputIsNoError)
{
    Process child = Process::Start({"/bin/true"});
    ASSERT_TRUE(child.Started());
    std::string out;
    EXPECT_TRUE(child.Communicate(std::string(1024 * 1024, 'x'), out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ProcessTest, WritingToAFinishedChildFailsWithoutSigpipe)
{
    Process child = Process::Start({"/bin/true"});
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.Wait(), 0);
    errno = 0;
    EXPECT_FALSE(child.WriteInput("data nobody reads"));
    EXPECT_EQ(errno, EPIPE);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
}

TEST(ProcessTest, CommandLineIsSplitAndSearchedInPath)
{
    Process printf = Process::StartCommandLine("printf \"[%s]\" \"a b\" c\\\"d");
    ASSERT_TRUE(printf.Started()) << printf.StartErrorText();
    std::string out;
    ASSERT_TRUE(printf.Communicate("", out));
    EXPECT_EQ(out, "[a b][c\"d]");
    EXPECT_EQ(printf.Wait(), 0);
}

TEST(ProcessTest, ErrorOutputIsMergedIntoOutput)
{
    Process ls = Process::Start({"ls", "/nonexistent-locmail-path"});
    ASSERT_TRUE(ls.Started());
    std::string out;
    ASSERT_TRUE(ls.Communicate("", out));
    EXPECT_NE(out.find("/nonexistent-locmail-path"), std::string::npos) << out;
    EXPECT_EQ(ls.Wait(), 2);
}

TEST(ProcessTest, ExitCodesAndSignals)
{
    EXPECT_EQ(Process::Start({"/bin/false"}).Wait(), 1);
    EXPECT_EQ(Process::Start({"/usr/bin/env", "true"}).Wait(), 0);

    Process cat = Process::Start({"/bin/cat"});
    ASSERT_TRUE(cat.Started());
    ASSERT_EQ(::kill(static_cast<pid_t>(cat.Pid()), SIGTERM), 0);
    EXPECT_EQ(cat.Wait(), 128 + SIGTERM);
}

TEST(ProcessTest, ChildInheritsEnvironmentButNoStrayDescriptors)
{
    ::setenv("LOCMAIL_PROBE", "inherited", 1);
    Process env = Process::Start({"/usr/bin/env"});
    ::unsetenv("LOCMAIL_PROBE");
    std::string out;
    ASSERT_TRUE(env.Communicate("", out));
    EXPECT_NE(out.find("LOCMAIL_PROBE=inherited\n"), std::string::npos);

    // A descriptor someone opened without close-on-exec still stays ours.
    locmail::UniqueFd devnull(::open("/dev/null", O_RDONLY));
    locmail::UniqueFd stray(::fcntl(devnull.get(), F_DUPFD, 200));
    ASSERT_GE(stray.get(), 200);
    Process ls = Process::Start({"ls", "/proc/self/fd"});
    out.clear();
    ASSERT_TRUE(ls.Communicate("", out));
    std::istringstream names(out);
    for (std::string name; names >> name;)
        EXPECT_LE(std::atoi(name.c_str()), 3) << "child inherited descriptor " << name;
}

TEST(ProcessTest, ProgramsThatCannotStartAreErrorValues)
{
    struct Case {
        Process process;
        int error;
    };
    Case cases[] = {
        {Process::Start({"/nonexistent/program"}), ENOENT},
        {Process::Start({"locmail-no-such-program"}), ENOENT},
        {Process::Start({"/dev/null"}), EACCES},
        {Process::StartCommandLine("  "), EINVAL},
        {Process::Start({}), EINVAL},
    };
    for (Case& c : cases) {
        EXPECT_FALSE(c.process.Started());
        EXPECT_EQ(c.process.StartError(), c.error);
        EXPECT_FALSE(c.process.StartErrorText().empty());
        std::string out;
        EXPECT_FALSE(c.process.WriteInput("x"));
        EXPECT_FALSE(c.process.ReadOutput(out));
        EXPECT_FALSE(c.process.Communicate("x", out));
        EXPECT_EQ(c.process.Wait(), -1);
    }
}

// sleep ignores the end of its input: only a kill ends it in time.
TEST(ProcessTest, DestructorKillsAndReapsARunningChild)
{
    long pid = 0;
    {
        Process sleeper = Process::Start({"sleep", "600"});
        ASSERT_TRUE(sleeper.Started());
        pid = sleeper.Pid();
        EXPECT_TRUE(IsProcessAlive(pid));
        Process moved(std::move(sleeper));
        EXPECT_EQ(sleeper.Pid(), 0);
        EXPECT_EQ(sleeper.Wait(), -1);
        EXPECT_EQ(moved.Pid(), pid);
    }
    EXPECT_FALSE(IsProcessAlive(pid)); // a zombie would still answer kill(pid, 0)
}

TEST(ProcessTest, Liveness)
{
    EXPECT_TRUE(IsProcessAlive(::getpid()));
    EXPECT_TRUE(IsProcessAlive(1)); // init: not ours, EPERM or not, it is alive
    EXPECT_FALSE(IsProcessAlive(0));
    EXPECT_FALSE(IsProcessAlive(-1));
    EXPECT_FALSE(IsProcessAlive(1L << 40));

    Process child = Process::Start({"/bin/true"});
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_FALSE(IsProcessAlive(child.Pid()));
}

} // namespace
