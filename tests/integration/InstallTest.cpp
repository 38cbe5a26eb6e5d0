// What an operator gets from `cmake --install`, and who the files of an
// installation belong to when root and other users run the commands.
#include "integration/RunSupport.h"
#include "suite/platform/Files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sysexits.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

const std::string kMessage = "From: alice@example.org\r\nTo: bob@example.org\r\nSubject: Owned\r\n\r\nHi\r\n";

// Troff's complaints about a page; empty when it renders cleanly. man when
// there is one (its warnings are the only lines naming troff), else groff.
std::string RenderWarnings(const std::string& page)
{
    auto man = RunProgram({"man", "--warnings", "-E", "UTF-8", "-l", page});
    if (man.exitCode == -1) {
        auto groff = RunProgram({"groff", "-man", "-Tutf8", "-ww", "-z", page});
        return groff.exitCode == 0 ? groff.output : "groff: " + groff.output;
    }
    if (man.exitCode != 0 || man.output.find("troff:") != std::string::npos || man.output.find("NAME") == std::string::npos)
        return man.output;
    return {};
}

TEST(Install, PrefixGetsACommandThatRunsThereBothPagesTheUnitAndAnExample)
{
    TempDir temp;
    const std::string prefix = temp / "prefix";
    auto install = RunProgram({"cmake", "--install", LOCMAIL_BUILD_TREE, "--prefix", prefix});
    ASSERT_EQ(install.exitCode, 0) << install.output;

    const std::string locmail = prefix + "/bin/locmail";
    auto version = RunProgram({locmail, "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "locmail " LOCMAIL_VERSION "\n");
    auto init = RunProgram({locmail, "init", temp / "inst"});
    EXPECT_EQ(init.exitCode, 0) << init.output;
    EXPECT_TRUE(locmail::FileExists(temp / "inst/store/users.db"));
    EXPECT_TRUE(locmail::FileExists(prefix + "/" LOCMAIL_LIBDIR "/liblocmail.so"));

    const std::string stateDir = prefix + "/var/lib/locmail";
    const std::string unit = prefix + "/lib/systemd/system/locmail.service";
    const std::string unitText = ReadFile(unit);
    EXPECT_NE(unitText.find("ExecStart=" + locmail + " run\n"), std::string::npos) << unitText;
    EXPECT_NE(unitText.find("ReadWritePaths=" + stateDir + "\n"), std::string::npos) << unitText;
    const std::string example = ReadFile(prefix + "/share/doc/locmail/qxmta.ini.example");
    EXPECT_NE(example.find("QueueDirectory=" + stateDir + "/queue\n"), std::string::npos) << example;

    for (const char* page : {"/share/man/man8/locmail.8", "/share/man/man5/locmail.ini.5"})
        EXPECT_EQ(RenderWarnings(prefix + page), "") << page;

    // The unit names its pages; they are looked up where they were installed.
    ::setenv("MANPATH", (prefix + "/share/man").c_str(), 1);
    auto verify = RunProgram({"systemd-analyze", "verify", unit});
    ::unsetenv("MANPATH");
    if (verify.exitCode == -1)
        GTEST_SKIP() << "systemd-analyze is not installed: the unit was not verified";
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
}

std::optional<passwd> User(const char* name)
{
    const passwd* entry = ::getpwnam(name);
    return entry ? std::optional<passwd>(*entry) : std::nullopt;
}

// Every path below DIR that UID does not own; with it, size and modification time of each.
struct TreeState {
    std::vector<std::string> foreign;
    std::map<std::string, std::pair<off_t, long>> files;
};

TreeState Survey(const std::string& dir, uid_t uid)
{
    TreeState state;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        struct stat st{};
        if (::lstat(entry.path().c_str(), &st) != 0)
            continue;
        if (st.st_uid != uid)
            state.foreign.push_back(entry.path().string());
        state.files[entry.path().string()] = {st.st_size, st.st_mtim.tv_nsec + st.st_mtim.tv_sec * 1000000000L};
    }
    return state;
}

// ARGS run as USER (fork, then the user's ids, then exec); the exit code.
int RunAs(const passwd& user, const std::vector<std::string>& args)
{
    ::unsetenv("LOCMAIL_CONFIG");
    std::vector<std::string> all{LOCMAIL_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::setgroups(0, nullptr) == 0 && ::setgid(user.pw_gid) == 0 && ::setuid(user.pw_uid) == 0)
            ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ServiceUser, RootActsAsTheOwnerAndAnyoneElseIsRefusedWithNothingChanged)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: it hands an installation to another user and switches users";
    auto owner = User("nobody");
    auto other = User("daemon");
    if (!owner || !other)
        GTEST_SKIP() << "needs the system users nobody and daemon";

    Installation inst;
    // The owner has to reach its installation through the temporary folder.
    ASSERT_EQ(::chmod(fs::path(inst.Dir()).parent_path().c_str(), 0755), 0);
    auto handOver = RunLocmail({"init", inst.Dir(), "--owner", "nobody"});
    ASSERT_EQ(handOver.exitCode, 0) << handOver.output;

    MustRun(inst, {"user", "add", "bob@example.org"});
    MustRun(inst, {"inject", "-f", "alice@example.org", "bob@example.org"}, kMessage);
    MustRun(inst, {"run", "--once"});
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), std::vector<std::string>{"Owned"});
    const TreeState before = Survey(inst.Dir(), owner->pw_uid);
    EXPECT_EQ(before.foreign, std::vector<std::string>{});

    const std::vector<std::string> config{"--config", inst.Config()};
    for (std::vector<std::string> args : {std::vector<std::string>{"user", "add", "carol@example.org"},
                                          {"inject", "-f", "a@example.org", "bob@example.org"},
                                          {"run", "--once"},
                                          {"store", "ls", "bob@example.org"}}) {
        args.insert(args.begin(), config.begin(), config.end());
        EXPECT_EQ(RunAs(*other, args), EX_NOPERM) << args[2];
    }
    EXPECT_EQ(RunAs(*other, {"init", inst.Dir() + "2", "--owner", "nobody"}), EX_NOPERM);
    const TreeState after = Survey(inst.Dir(), owner->pw_uid);
    EXPECT_EQ(after.files, before.files) << "a refused command changed the installation";
}

} // namespace
