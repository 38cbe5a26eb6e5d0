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

#include <filesystem>
#include <map>

namespace {

using namespace testsupport;

// Troff's complaints about a page (man's only lines naming troff), or groff's without man.
std::string RenderWarnings(const std::string& page)
{
    auto man = RunProgram({"man", "--warnings", "-E", "UTF-8", "-l", page});
    if (man.exitCode == -1)
        return RunProgram({"groff", "-man", "-Tutf8", "-ww", "-z", page}).output;
    const bool clean = man.exitCode == 0 && man.output.find("NAME") != std::string::npos &&
                       man.output.find("troff:") == std::string::npos;
    return clean ? "" : man.output;
}

TEST(Install, PrefixGetsACommandThatRunsThereBothPagesTheUnitAndAnExample)
{
    TempDir temp;
    const std::string prefix = temp / "prefix", locmail = prefix + "/bin/locmail";
    auto install = RunProgram({"cmake", "--install", LOCMAIL_BUILD_TREE, "--prefix", prefix});
    ASSERT_EQ(install.exitCode, 0) << install.output;
    auto version = RunProgram({locmail, "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "locmail " LOCMAIL_VERSION "\n");
    auto init = RunProgram({locmail, "init", temp / "inst"});
    EXPECT_EQ(init.exitCode, 0) << init.output;
    EXPECT_TRUE(locmail::FileExists(temp / "inst/store/users.db"));
    EXPECT_TRUE(locmail::FileExists(prefix + "/" LOCMAIL_LIBDIR "/liblocmail.so"));

    const std::string stateDir = prefix + "/var/lib/locmail", unit = prefix + "/lib/systemd/system/locmail.service";
    const std::string unitText = ReadFile(unit);
    EXPECT_NE(unitText.find("ExecStart=" + locmail + " run\n"), std::string::npos) << unitText;
    EXPECT_NE(unitText.find("ReadWritePaths=" + stateDir + "\n"), std::string::npos) << unitText;
    const std::string example = ReadFile(prefix + "/share/doc/locmail/qxmta.ini.example");
    EXPECT_NE(example.find("QueueDirectory=" + stateDir + "/queue\n"), std::string::npos) << example;
    for (const char* page : {"/share/man/man8/locmail.8", "/share/man/man5/locmail.ini.5"})
        EXPECT_EQ(RenderWarnings(prefix + page), "") << page;

    ::setenv("MANPATH", (prefix + "/share/man").c_str(), 1); // the unit names its pages
    auto verify = RunProgram({"systemd-analyze", "verify", unit, prefix + "/lib/systemd/system/locmail-relay.service",
                              prefix + "/lib/systemd/system/locmail-lmtp.service"});
    ::unsetenv("MANPATH");
    if (verify.exitCode == -1)
        GTEST_SKIP() << "systemd-analyze is not installed: the unit was not verified";
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
}

// Size and modification time of every path below DIR; FOREIGN gets those UID does not own.
std::map<std::string, std::pair<off_t, long>> Survey(const std::string& dir, uid_t uid,
                                                     std::vector<std::string>& foreign)
{
    std::map<std::string, std::pair<off_t, long>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        struct stat st{};
        if (::lstat(entry.path().c_str(), &st) == 0 && st.st_uid != uid)
            foreign.push_back(entry.path().string());
        files[entry.path().string()] = {st.st_size, st.st_mtim.tv_nsec + st.st_mtim.tv_sec * 1000000000L};
    }
    return files;
}

// `locmail ARGS` run as USER (fork, the user's ids, exec); the exit code.
int RunAs(const passwd& user, std::vector<std::string> args)
{
    args.insert(args.begin(), LOCMAIL_BINARY);
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd : {0, 1, 2})
            ::dup2(null, fd);
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
    const passwd* owner = ::getpwnam("nobody");
    const uid_t ownerUid = owner ? owner->pw_uid : 0;
    const passwd* other = owner ? ::getpwnam("daemon") : nullptr; // the same static entry as OWNER
    if (!other)
        GTEST_SKIP() << "needs the system users nobody and daemon";
    const passwd otherUser = *other;

    Installation inst;
    // The owner has to reach its installation through the temporary folder.
    ASSERT_EQ(::chmod(std::filesystem::path(inst.Dir()).parent_path().c_str(), 0755), 0);
    auto handOver = RunLocmail({"init", inst.Dir(), "--owner", "nobody"});
    ASSERT_EQ(handOver.exitCode, 0) << handOver.output;
    MustRun(inst, {"user", "add", "bob@example.org"});
    MustRun(inst, {"inject", "-f", "alice@example.org", "bob@example.org"},
            "From: alice@example.org\r\nSubject: Owned\r\n\r\nHi\r\n");
    MustRun(inst, {"run", "--once"});
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), std::vector<std::string>{"Owned"});
    std::vector<std::string> foreign;
    const auto before = Survey(inst.Dir(), ownerUid, foreign);
    EXPECT_EQ(foreign, std::vector<std::string>{});

    for (const std::vector<std::string>& args : {std::vector<std::string>{"user", "add", "carol@example.org"},
                                                 {"inject", "-f", "a@example.org", "bob@example.org"},
                                                 {"run", "--once"},
                                                 {"store", "ls", "bob@example.org"}}) {
        std::vector<std::string> withConfig{"--config", inst.Config()};
        withConfig.insert(withConfig.end(), args.begin(), args.end());
        // inject answers a mail server: a refusal that the owner can heal is 75, as every such fault.
        EXPECT_EQ(RunAs(otherUser, withConfig), args[0] == "inject" ? EX_TEMPFAIL : EX_NOPERM) << args[0];
    }
    EXPECT_EQ(RunAs(otherUser, {"init", inst.Dir() + "2", "--owner", "nobody"}), EX_NOPERM);
    EXPECT_EQ(Survey(inst.Dir(), ownerUid, foreign), before) << "a refused command changed the installation";
}

} // namespace
