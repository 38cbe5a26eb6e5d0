#include "suite/platform/Process.h"

#include "suite/platform/Files.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

extern char** environ;

namespace locmail {

namespace {

// Blocks SIGPIPE on this thread for the guard's lifetime, so a write to a pipe
// nobody reads fails with EPIPE instead of killing the process. A SIGPIPE
// raised meanwhile is consumed, unless one was already pending before.
class SigpipeBlock {
public:
    SigpipeBlock()
    {
        sigemptyset(&pipeSet_);
        sigaddset(&pipeSet_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeSet_, &previous_);
    }
    ~SigpipeBlock()
    {
        int saved = errno;
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            timespec zero{};
            while (sigtimedwait(&pipeSet_, nullptr, &zero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        errno = saved;
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t pipeSet_;
    sigset_t previous_;
    bool wasPending_ = false;
};

// The child's ends are placed on 0, 1 and 2 with dup2; an end that itself sat
// on 0..2 could be overwritten by an earlier dup2, so keep all ends above.
bool MoveAboveStdio(UniqueFd& fd)
{
    if (fd.get() > STDERR_FILENO)
        return true;
    int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0)
        return false;
    fd.reset(moved);
    return true;
}

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

int OpenPipe(Pipe& pipe)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    pipe.read.reset(fds[0]);
    pipe.write.reset(fds[1]);
    if (!MoveAboveStdio(pipe.read) || !MoveAboveStdio(pipe.write))
        return errno;
    return 0;
}

class SpawnActions {
public:
    SpawnActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnActions()
    {
        if (ok_)
            posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    int Prepare(int input, int output)
    {
        if (!ok_)
            return ENOMEM;
        int rc = posix_spawn_file_actions_adddup2(&actions_, input, STDIN_FILENO);
        if (rc == 0)
            rc = posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO);
        if (rc == 0)
            rc = posix_spawn_file_actions_adddup2(&actions_, output, STDERR_FILENO);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Also covers descriptors that other libraries opened without O_CLOEXEC.
        if (rc == 0)
            rc = posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
#endif
        return rc;
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
    bool ok_ = false;
};

class SpawnAttributes {
public:
    SpawnAttributes() { ok_ = posix_spawnattr_init(&attr_) == 0; }
    ~SpawnAttributes()
    {
        if (ok_)
            posix_spawnattr_destroy(&attr_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    // The child starts clean even when the caller ignores or blocks signals.
    int Prepare()
    {
        if (!ok_)
            return ENOMEM;
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        int rc = posix_spawnattr_setsigmask(&attr_, &none);
        if (rc == 0)
            rc = posix_spawnattr_setsigdefault(&attr_, &all);
        if (rc == 0)
            rc = posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        return rc;
    }
    const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_;
    bool ok_ = false;
};

int ExitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

bool SetNonBlocking(int fd)
{
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// One read into OUT: 1 data, 0 end of output, -1 error, -2 try again later.
int ReadSome(int fd, std::string& out)
{
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            out.append(chunk, static_cast<std::size_t>(n));
            return 1;
        }
        if (n == 0)
            return 0;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? -2 : -1;
    }
}

// The poll timeout left until DEADLINE: -1 for none, 0 once it has passed.
int PollMilliseconds(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    if (deadline == steady_clock::time_point::max())
        return -1;
    const auto now = steady_clock::now();
    if (now >= deadline)
        return 0;
    const auto left = duration_cast<milliseconds>(deadline - now).count() + 1;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

} // namespace

Process Process::Start(const std::vector<std::string>& argv)
{
    Process process;
    if (argv.empty() || argv.front().empty()) {
        process.startError_ = EINVAL;
        return process;
    }
    Pipe input;
    Pipe output;
    SpawnActions actions;
    SpawnAttributes attributes;
    int rc = OpenPipe(input);
    if (rc == 0)
        rc = OpenPipe(output);
    if (rc == 0)
        rc = actions.Prepare(input.read.get(), output.write.get());
    if (rc == 0)
        rc = attributes.Prepare();
    if (rc == 0) {
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_t pid = 0;
        rc = posix_spawnp(&pid, args[0], actions.get(), attributes.get(), args.data(), environ);
        if (rc == 0)
            process.pid_ = pid;
    }
    if (rc != 0) {
        process.startError_ = rc;
        return process;
    }
    process.input_ = std::move(input.write);
    process.output_ = std::move(output.read);
    return process;
}

Process::~Process()
{
    Release();
}

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, 0)),
      startError_(std::exchange(other.startError_, 0)),
      reaped_(std::exchange(other.reaped_, false)),
      exitCode_(std::exchange(other.exitCode_, -1)),
      input_(std::move(other.input_)),
      output_(std::move(other.output_))
{
}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        Release();
        pid_ = std::exchange(other.pid_, 0);
        startError_ = std::exchange(other.startError_, 0);
        reaped_ = std::exchange(other.reaped_, false);
        exitCode_ = std::exchange(other.exitCode_, -1);
        input_ = std::move(other.input_);
        output_ = std::move(other.output_);
    }
    return *this;
}

// Closing the pipes first lets a well-behaved child end by itself; one that
// has not ended by then is killed, so the destructor never blocks for long.
void Process::Release()
{
    input_.reset();
    output_.reset();
    if (pid_ > 0 && !reaped_) {
        int status = 0;
        pid_t done;
        while ((done = ::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (done == 0) {
            ::kill(static_cast<pid_t>(pid_), SIGKILL);
            Wait();
        }
        reaped_ = true;
    }
}

std::string Process::StartErrorText() const
{
    return startError_ == 0 ? std::string() : std::string(std::strerror(startError_));
}

bool Process::WriteInput(std::string_view data)
{
    if (!input_) {
        errno = EBADF;
        return false;
    }
    SigpipeBlock guard;
    return WriteAll(input_.get(), data);
}

void Process::CloseInput()
{
    input_.reset();
}

bool Process::ReadOutput(std::string& out)
{
    if (!output_) {
        errno = EBADF;
        return false;
    }
    for (;;) {
        int got = ReadSome(output_.get(), out);
        if (got == 0) {
            output_.reset();
            return true;
        }
        if (got < 0)
            return false;
    }
}

bool Process::Communicate(std::string_view input, std::string& out)
{
    return CommunicateUntil(input, out, std::chrono::steady_clock::time_point::max());
}

bool Process::CommunicateUntil(std::string_view input, std::string& out,
                               std::chrono::steady_clock::time_point deadline, std::size_t keep)
{
    if (!output_) {
        errno = EBADF;
        return false;
    }
    if (input.empty() || !input_ || !SetNonBlocking(input_.get()))
        input_.reset();
    if (!SetNonBlocking(output_.get()))
        return false;
    SigpipeBlock guard;
    std::string chunk;
    while (output_) {
        const int wait = PollMilliseconds(deadline);
        if (wait == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd fds[2] = {{output_.get(), POLLIN, 0}, {input_ ? input_.get() : -1, POLLOUT, 0}};
        if (::poll(fds, 2, wait) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (input_ && fds[1].revents != 0) {
            ssize_t n = ::write(input_.get(), input.data(), input.size());
            if (n > 0)
                input.remove_prefix(static_cast<std::size_t>(n));
            else if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
                input = {}; // the child stopped reading
            if (input.empty())
                input_.reset();
        }
        if (fds[0].revents != 0) {
            chunk.clear();
            int got = ReadSome(output_.get(), chunk);
            if (got == 0)
                output_.reset();
            else if (got == -1)
                return false;
            if (out.size() < keep)
                out.append(chunk, 0, keep - out.size());
        }
    }
    input_.reset(); // the child closed its output before reading all of its input
    return true;
}

void Process::Kill()
{
    if (pid_ > 0 && !reaped_) {
        ::kill(static_cast<pid_t>(pid_), SIGKILL);
        Wait();
    }
}

int Process::Wait()
{
    if (pid_ <= 0)
        return -1;
    if (reaped_)
        return exitCode_;
    int status = 0;
    pid_t done;
    while ((done = ::waitpid(static_cast<pid_t>(pid_), &status, 0)) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    exitCode_ = done == static_cast<pid_t>(pid_) ? ExitCodeOf(status) : -1;
    return exitCode_;
}

bool Process::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    if (pid_ <= 0 || reaped_)
        return true;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
        if (done == static_cast<pid_t>(pid_) || (done < 0 && errno != EINTR)) {
            reaped_ = true;
            exitCode_ = done > 0 ? ExitCodeOf(status) : -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        const timespec pause{0, 10 * 1000 * 1000}; // a child that closed its output is about to end
        ::nanosleep(&pause, nullptr);
    }
}

bool IsProcessAlive(long pid)
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace locmail
