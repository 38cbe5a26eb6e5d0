#include "suite/mq/ArrivalWatch.h"

#include "suite/mq/QueueLayout.h"
#include "suite/mq/QueueState.h"
#include "suite/platform/Files.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace locmail::mq {

ArrivalWatch::ArrivalWatch(const char* channel)
{
    std::string dir = QueueDirectory();
    auto name = NormaliseChannelName(channel ? channel : "");
    if (dir.empty() || !name)
        return;
    std::string folder = QueuePaths(dir).Channel(*name);
    if (MakeDirectory(folder, 0750) != 0 && errno != EEXIST)
        return;
    fd_.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (fd_ && ::inotify_add_watch(fd_.get(), folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
        fd_.reset();
}

void ArrivalWatch::Drain()
{
    if (!fd_)
        return;
    alignas(inotify_event) char events[4096];
    while (::read(fd_.get(), events, sizeof events) > 0) {
    }
}

ArrivalWatch::Wake ArrivalWatch::Wait(int timeoutMs, int stopFd)
{
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd_.get(), POLLIN, 0}};
    int ready = ::poll(fds, fd_ ? 2 : 1, timeoutMs);
    if (ready > 0 && fds[0].revents != 0)
        return Wake::Stop;
    if (ready > 0 || !fd_)
        return Wake::Arrival;
    return Wake::Timeout;
}

} // namespace locmail::mq
