#include "host/StopRequest.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace locmail::host {
namespace {

volatile sig_atomic_t g_requested = 0;
volatile sig_atomic_t g_wakeFd = -1;
std::atomic<bool> g_exists{false};

constexpr int kSignals[] = {SIGTERM, SIGINT};

extern "C" void OnStopSignal(int)
{
    int saved = errno;
    g_requested = 1;
    if (g_wakeFd >= 0) {
        char byte = 's';
        [[maybe_unused]] ssize_t n = ::write(g_wakeFd, &byte, 1); // a full pipe already wakes
    }
    errno = saved;
}

bool SetHandlers(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    bool ok = true;
    for (int sig : kSignals)
        ok = ::sigaction(sig, &action, nullptr) == 0 && ok;
    return ok;
}

sigset_t StopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kSignals)
        sigaddset(&set, sig);
    return set;
}

void UnblockStopSignals()
{
    sigset_t set = StopSignalSet();
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace

void HoldStopSignals()
{
    sigset_t set = StopSignalSet();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

StopRequest::StopRequest()
{
    if (g_exists.exchange(true))
        throw std::logic_error("one StopRequest per process");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_exists = false;
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    wakeRead_.reset(fds[0]);
    wakeWrite_.reset(fds[1]);
    g_requested = 0;
    g_wakeFd = fds[1];
    if (!SetHandlers(OnStopSignal)) {
        int error = errno;
        SetHandlers(SIG_DFL);
        g_wakeFd = -1;
        g_exists = false;
        throw std::system_error(error, std::generic_category(), "sigaction");
    }
    UnblockStopSignals();
}

StopRequest::~StopRequest()
{
    SetHandlers(SIG_DFL);
    g_wakeFd = -1;
    g_exists = false;
}

bool StopRequest::Requested() const { return g_requested != 0; }

bool StopRequest::SleepFor(int milliseconds) const
{
    pollfd wake{wakeRead_.get(), POLLIN, 0};
    if (!Requested())
        ::poll(&wake, 1, milliseconds); // EINTR from our own signal is the wake-up
    return Requested();
}

} // namespace locmail::host
