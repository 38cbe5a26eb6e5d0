#include "suite/mq/QueueClock.h"

#include <atomic>
#include <chrono>

namespace locmail::mq {
namespace {
std::atomic<QueueClock> g_clock{nullptr};
}

void SetQueueClock(QueueClock clock) { g_clock.store(clock, std::memory_order_relaxed); }

int64_t QueueNowMs()
{
    if (QueueClock clock = g_clock.load(std::memory_order_relaxed))
        return clock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace locmail::mq
