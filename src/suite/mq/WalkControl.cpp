#include "suite/mq/WalkControl.h"

#include "suite/mq/WalkRegistry.h"

#include <mutex>

namespace locmail::mq {
namespace {

std::mutex g_mutex;
ActiveWalkControl g_active;

} // namespace

void SetWalkControl(WalkControl* control, BatchLimits limits)
{
    // What the old control was asked to hold is finished under it, not under the new one.
    (void)FinishEveryPendingBatch();
    std::lock_guard lock(g_mutex);
    g_active = {control, limits};
}

ActiveWalkControl CurrentWalkControl()
{
    std::lock_guard lock(g_mutex);
    return g_active;
}

} // namespace locmail::mq
