#include "host/ChannelWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace locmail::host {

ChannelWatch::ChannelWatch(const std::string& channelDir)
    : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (fd_ && ::inotify_add_watch(fd_.get(), channelDir.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
        fd_.reset();
}

void ChannelWatch::Drain()
{
    if (!fd_)
        return;
    alignas(inotify_event) char events[4096];
    while (::read(fd_.get(), events, sizeof events) > 0) {
    }
}

ChannelWatch::Wake ChannelWatch::Wait(int timeoutMs, int stopFd)
{
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd_.get(), POLLIN, 0}};
    int ready = ::poll(fds, fd_ ? 2 : 1, timeoutMs);
    if (ready > 0 && fds[0].revents != 0)
        return Wake::Stop;
    if (ready > 0 || !fd_)
        return Wake::Arrival;
    return Wake::Timeout;
}

} // namespace locmail::host
