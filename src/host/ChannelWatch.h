// Waiting for new entries on a queue channel without polling the disk: inotify
// on the channel's folder (QUEUE/channels/NAME), where the queue creates or
// renames one marker per committed entry.
//
// Contract: the watch is set up before the walk it follows, so an entry that
// is committed while the walk runs leaves an event behind and the next Wait
// returns at once; Drain() forgets what the coming walk will see anyway.
// Wait returns Arrival on any event (an overflow of the event queue counts as
// one), Stop when STOPFD becomes readable, Timeout otherwise. Without inotify
// (Ok() false, for instance when the per-user watch limit is reached) Wait
// sleeps the timeout and reports Arrival, so the caller walks on a timer.
// Failure modes: none thrown; see Ok().
#pragma once

#include "suite/platform/UniqueFd.h"

#include <string>

namespace locmail::host {

class ChannelWatch {
public:
    explicit ChannelWatch(const std::string& channelDir);

    bool Ok() const { return static_cast<bool>(fd_); }
    void Drain();

    enum class Wake { Arrival, Stop, Timeout };
    Wake Wait(int timeoutMs, int stopFd);

private:
    UniqueFd fd_;
};

} // namespace locmail::host
