// Child processes with pipes, started without a shell, and process liveness.
//
// SplitCommandLine splits a Windows-style command line into arguments the way
// the Windows C runtime does: arguments are separated by blanks (space, tab)
// outside double quotes; a double quote toggles quoting (inside quotes, a
// doubled quote gives one literal quote); backslashes are literal unless they
// precede a quote, where 2n backslashes give n backslashes and the quote acts,
// and 2n+1 give n backslashes and a literal quote. "" makes an empty argument.
//
// Process starts a program with posix_spawnp (argv[0] is searched in PATH
// when it has no '/'), with the caller's environment and current directory,
// default signal dispositions and an empty signal mask. The child gets one
// pipe as standard input and ONE pipe as both standard output and standard
// error (merged, so reading cannot deadlock on the other stream). Every
// descriptor of ours is close-on-exec and descriptors above 2 are closed in
// the child, so it inherits nothing else.
// Writes never raise SIGPIPE in the caller: a child that stopped reading makes
// WriteInput return false (EPIPE).
// Ownership: the destructor closes both pipes and reaps the child; a child
// still running at that point is killed with SIGKILL first. Call Wait() to
// let it finish normally.
// Failure modes: a program that cannot be started gives a Process whose
// Started() is false and StartError() holds the errno (ENOENT, EACCES, ...);
// its operations then fail harmlessly (false, -1). Nothing throws except
// std::bad_alloc. One object is used by one thread at a time.
#pragma once

#include "suite/platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace locmail {

std::vector<std::string> SplitCommandLine(std::string_view commandLine);

class Process {
public:
    Process() = default; // not started
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    [[nodiscard]] static Process Start(const std::vector<std::string>& argv);

    bool Started() const { return pid_ > 0; }
    int StartError() const { return startError_; }
    std::string StartErrorText() const;
    long Pid() const { return pid_; }

    // Writes all of DATA to the child's standard input; false with errno on failure.
    bool WriteInput(std::string_view data);
    // Lets the child see the end of its input.
    void CloseInput();
    // Appends the child's output to OUT until the child closes it; false on a read error.
    bool ReadOutput(std::string& out);
    // Feeds INPUT while collecting the output, then closes the input and reads
    // to the end: no deadlock whatever the sizes. A child that stops reading
    // early is not an error. False on a read or poll error.
    bool Communicate(std::string_view input, std::string& out);
    // Communicate with a time limit: false with errno ETIMEDOUT once DEADLINE
    // has passed (the child may still run; Kill or the destructor ends it).
    // Only the first KEEP bytes of output are kept; the rest is read and dropped,
    // so a child that writes without end cannot fill our memory.
    bool CommunicateUntil(std::string_view input, std::string& out, std::chrono::steady_clock::time_point deadline,
                          std::size_t keep = SIZE_MAX);
    // Ends a running child with SIGKILL and reaps it; Wait() then gives 128 + 9.
    void Kill();

    // Waits for the child to end: its exit code, 128 + signal number when a
    // signal ended it, -1 when it was never started or cannot be waited for.
    // Later calls return the same value.
    int Wait();
    // Waits at most until DEADLINE: true once the child has ended (Wait() then
    // gives its code at once), false when it still runs.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);

private:
    void Release();

    long pid_ = 0;
    int startError_ = 0;
    bool reaped_ = false;
    int exitCode_ = -1;
    UniqueFd input_;  // our end of the child's standard input
    UniqueFd output_; // our end of the child's standard output and error
};

// True when a process with this id exists (EPERM counts: it exists but is not ours).
// Ids that are not positive are never alive: kill() would address groups.
bool IsProcessAlive(long pid);

} // namespace locmail
