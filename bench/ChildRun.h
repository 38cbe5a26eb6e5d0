// The benchmarks' one way to run a program: started without a shell, waited
// for, with its exit status, wall time and resource use (wait4 counts the
// child and everything it waited for).
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

struct ChildRun {
    int status = -1; // exit code, 128 + signal, or -1 when it could not start
    double seconds = 0;
    rusage usage{};

    double CpuMs() const
    {
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
};

// ARGS[0] started (pid 0 when it cannot be); standard output to /dev/null when
// QUIET, standard input from INPUT when one is named.
inline pid_t StartChild(const std::vector<std::string>& args, bool quiet, const std::string& input = "")
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (!input.empty())
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for PID to end; SECONDS counts from START.
inline ChildRun WaitChild(pid_t pid, std::chrono::steady_clock::time_point start)
{
    ChildRun run;
    int status = 0;
    if (pid > 0 && ::wait4(pid, &status, 0, &run.usage) == pid)
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

// ARGS[0] run to its end, as StartChild starts it.
inline ChildRun Spawn(const std::vector<std::string>& args, bool quiet, const std::string& input = "")
{
    const auto start = std::chrono::steady_clock::now();
    return WaitChild(StartChild(args, quiet, input), start);
}

} // namespace bench
