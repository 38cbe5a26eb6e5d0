#include "suite/platform/Flock.h"

#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace locmail {
namespace {

constexpr auto kFirstPause = std::chrono::microseconds(500);
constexpr auto kLongestPause = std::chrono::milliseconds(32);

int Failed(int error)
{
    errno = error;
    return error;
}

// One flock call, retried when a signal interrupts it; 0 or errno.
int FlockOnce(int fd, int op)
{
    while (::flock(fd, op) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace

int LockFd(int fd, LockKind kind, unsigned long ms, const StopCheck& stop)
{
    const int op = kind == LockKind::Shared ? LOCK_SH : LOCK_EX;
    if (ms == kWaitForever && !stop) {
        const int rc = FlockOnce(fd, op);
        return rc == 0 ? 0 : Failed(rc);
    }
    using Clock = std::chrono::steady_clock;
    const bool forever = ms == kWaitForever;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : ms);
    std::chrono::microseconds pause = kFirstPause;
    for (;;) {
        const int rc = FlockOnce(fd, op | LOCK_NB);
        if (rc == 0)
            return 0;
        if (rc != EWOULDBLOCK)
            return Failed(rc);
        const auto now = Clock::now();
        if (!forever && now >= deadline)
            return Failed(ETIMEDOUT);
        if (stop && stop())
            return Failed(ECANCELED);
        auto nap = pause;
        if (!forever)
            nap = std::min(nap, std::chrono::duration_cast<std::chrono::microseconds>(deadline - now));
        std::this_thread::sleep_for(nap);
        pause = std::min<std::chrono::microseconds>(pause * 2, kLongestPause);
    }
}

void UnlockFd(int fd) { (void)FlockOnce(fd, LOCK_UN); }

} // namespace locmail
