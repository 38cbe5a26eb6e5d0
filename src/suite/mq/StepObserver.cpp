#include "suite/mq/StepObserver.h"

#include <atomic>

namespace locmail::mq {
namespace {
std::atomic<StepObserver> g_observer{nullptr};
}

void SetStepObserver(StepObserver observer) { g_observer.store(observer, std::memory_order_relaxed); }

void NotifyStep(const char* step)
{
    if (StepObserver observer = g_observer.load(std::memory_order_relaxed))
        observer(step);
}

} // namespace locmail::mq
