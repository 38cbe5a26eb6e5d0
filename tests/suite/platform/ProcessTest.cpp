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

// Feeds INPUT to a started PROCESS and returns everything it printed; EXIT gets its exit code.
std::string RunToEnd(Process process, const std::string& input, int& exit)
{
    std::string out;
    EXPECT_TRUE(process.Started()) << process.StartErrorText();
    EXPECT_TRUE(process.Communicate(input, out));
    exit = process.Wait();
    return out;
}

TEST(SplitCommandLineTest, WindowsRuntimeRules)
{
    using Args = std::vector<std::string>;
    const std::pair<const char*, Args> cases[] = {
        {"", {}},
        {"  a\t b  c", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"\"unterminated arg", {"unterminated arg"}},
        {"C:\\dir\\prog.exe x", {"C:\\dir\\prog.exe", "x"}}, // backslashes not before a quote are literal
        {"a\\\\\"b c\"", {"a\\b c"}}, // 2n + quote: n backslashes, quote groups
        {"a\\\"b", {"a\"b"}},         // 2n+1 + quote: literal quote
        {"\"x\\\" y\"", {"x\" y"}},
        {"\"a\"\"b\" c", {"a\"b", "c"}}, // doubled quote inside quotes
        {"/usr/bin/prog --opt=\"%F\" 'single'", {"/usr/bin/prog", "--opt=%F", "'single'"}},
    };
    for (const auto& [line, want] : cases)
        EXPECT_EQ(locmail::SplitCommandLine(line), want) << "line: " << line;
}

TEST(ProcessTest, ChildThatStopsReadingIsNoErrorAndNoSigpipe)
{
    int exit = -1;
    EXPECT_EQ(RunToEnd(Process::Start({"/bin/true"}), std::string(1024 * 1024, 'x'), exit), "");
    EXPECT_EQ(exit, 0);

    Process child = Process::Start({"/bin/true"});
    EXPECT_EQ(child.Wait(), 0);
    errno = 0;
    EXPECT_FALSE(child.WriteInput("data nobody reads"));
    EXPECT_EQ(errno, EPIPE);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
}

// Everything the child wrote comes back, also when it is far more than a pipe holds both ways.
TEST(ProcessTest, OutputAndExitCodes)
{
    std::string input;
    for (int i = 0; input.size() < 4 * 1024 * 1024; ++i)
        input += "line " + std::to_string(i) + "\n";
    int exit = -1;
    EXPECT_TRUE(RunToEnd(Process::Start({"cat"}), input, exit) == input);
    EXPECT_EQ(RunToEnd(Process::Start({"/bin/false"}), "", exit), "");
    EXPECT_EQ(exit, 1);
    Process cat = Process::Start({"/bin/cat"});
    ASSERT_EQ(::kill(static_cast<pid_t>(cat.Pid()), SIGTERM), 0);
    EXPECT_EQ(cat.Wait(), 128 + SIGTERM);
}

// A descriptor someone opened without close-on-exec still stays ours.
TEST(ProcessTest, ChildInheritsNoStrayDescriptors)
{
    int exit = -1;
    locmail::UniqueFd devnull(::open("/dev/null", O_RDONLY));
    locmail::UniqueFd stray(::fcntl(devnull.get(), F_DUPFD, 200));
    ASSERT_GE(stray.get(), 200);
    std::istringstream names(RunToEnd(Process::Start({"ls", "/proc/self/fd"}), "", exit));
    for (std::string name; names >> name;)
        EXPECT_LE(std::atoi(name.c_str()), 3) << "child inherited descriptor " << name;
}

TEST(ProcessTest, ProgramsThatCannotStartAreErrorValues)
{
    std::pair<Process, int> cases[] = {
        {Process::Start({"/nonexistent/program"}), ENOENT},
        {Process::Start({"/dev/null"}), EACCES},
        {Process::Start({}), EINVAL},
    };
    for (auto& [process, error] : cases) {
        EXPECT_FALSE(process.Started());
        EXPECT_EQ(process.StartError(), error);
        std::string out;
        EXPECT_FALSE(process.Communicate("x", out));
        EXPECT_EQ(process.Wait(), -1);
    }
}

// sleep ignores the end of its input: only a kill ends it in time.
TEST(ProcessTest, DestructorKillsAndReapsARunningChildAndLiveness)
{
    long pid = 0;
    {
        Process sleeper = Process::Start({"sleep", "600"});
        pid = sleeper.Pid();
        EXPECT_TRUE(IsProcessAlive(pid));
        Process moved(std::move(sleeper));
        EXPECT_EQ(sleeper.Wait(), -1);
        EXPECT_EQ(moved.Pid(), pid);
    }
    EXPECT_FALSE(IsProcessAlive(pid)); // a zombie would still answer kill(pid, 0)

    EXPECT_TRUE(IsProcessAlive(::getpid()));
    EXPECT_TRUE(IsProcessAlive(1)); // init: not ours, EPERM or not, it is alive
    for (long never : {0L, -1L, 1L << 40})
        EXPECT_FALSE(IsProcessAlive(never)) << never;
}

} // namespace
