// The queue's notion of "now": arrival times, next attempts and the age of a
// pending batch all come from here, so that tests can set the time instead of
// waiting for it.
//
// Contract: QueueNowMs is the clock set by SetQueueClock (milliseconds since
// the epoch), or the system's real-time clock when none is set (null restores
// it). Thread-safe. Failure modes: none.
#pragma once

#include <cstdint>

namespace locmail::mq {

using QueueClock = int64_t (*)();

void SetQueueClock(QueueClock clock);
int64_t QueueNowMs();
inline int64_t QueueNowSeconds() { return QueueNowMs() / 1000; }

} // namespace locmail::mq
