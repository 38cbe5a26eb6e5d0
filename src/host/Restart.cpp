#include "host/Restart.h"

#include "host/StopRequest.h"

#include "suite/platform/Files.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace locmail::host {
namespace {

// The NUL-separated arguments of /proc/self/cmdline.
std::vector<std::string> OwnArguments()
{
    std::string raw;
    std::vector<std::string> args;
    if (!ReadWholeFile("/proc/self/cmdline", raw))
        return args;
    for (std::size_t start = 0; start < raw.size();) {
        std::size_t end = raw.find('\0', start);
        if (end == std::string::npos)
            end = raw.size();
        args.emplace_back(raw, start, end - start);
        start = end + 1;
    }
    return args;
}

// Descriptors opened by libraries without O_CLOEXEC (the log file, for one)
// would otherwise pile up over the restarts.
void CloseOnExecAbove2()
{
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        int fd = std::atoi(entry.path().filename().c_str());
        if (fd > 2)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
}

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP); // a log reopen request too: the new process honours it
    return set;
}

} // namespace

int RestartSelf(const StopRequest& stop, const std::vector<int>& keepOpen)
{
    std::vector<std::string> args = OwnArguments();
    if (args.empty())
        return errno != 0 ? errno : EINVAL;
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    sigset_t set = StopSignals();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    int error = ECANCELED;
    if (!stop.Requested()) {
        CloseOnExecAbove2();
        for (int fd : keepOpen)
            ::fcntl(fd, F_SETFD, 0);
        ::execv("/proc/self/exe", argv.data());
        error = errno;
    }
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    return error;
}

} // namespace locmail::host
