// Waiting for new entries on a queue channel without polling the disk: inotify
// on the channel's folder (QUEUE/channels/NAME of the queue MQInit settled on),
// where the queue creates one marker per committed entry. Removals and
// envelope rewrites make no event, so they cannot start a walk.
//
// Contract: the channel folder is created when missing, as OpenMQChannel
// does. The watch is set up before the walk it follows, so an entry that
// is committed while the walk runs leaves an event behind and the next Wait
// returns at once; Drain() forgets what the coming walk will see anyway.
// Wait returns Arrival on any event (an overflow of the event queue counts as
// one), Stop when STOPFD becomes readable, Timeout otherwise. Without a watch
// (Ok() false: MQInit has not succeeded, the channel name is not valid, or
// inotify is unavailable, for instance when the per-user watch limit is
// reached) Wait sleeps the timeout and reports Arrival, so the caller walks
// on a timer.
// Failure modes: none thrown but std::bad_alloc; see Ok().
#pragma once

#include "suite/platform/UniqueFd.h"

namespace locmail::mq {

class ArrivalWatch {
public:
    explicit ArrivalWatch(const char* channel);

    bool Ok() const { return static_cast<bool>(fd_); }
    void Drain();

    enum class Wake { Arrival, Stop, Timeout };
    Wake Wait(int timeoutMs, int stopFd);

private:
    UniqueFd fd_;
};

} // namespace locmail::mq
