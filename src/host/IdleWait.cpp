#include "host/IdleWait.h"

#include "suite/mq/MQapi.h"

#include <algorithm>
#include <ctime>

namespace locmail::host {

int IdleWaitMs()
{
    const std::time_t due = mq::EarliestDeferredAttempt();
    if (due == 0)
        return kIdleWakeMs;
    return static_cast<int>(std::clamp<std::time_t>((due - std::time(nullptr)) * 1000, 1000, kIdleWakeMs));
}

} // namespace locmail::host
