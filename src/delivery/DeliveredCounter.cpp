#include "delivery/DeliveredCounter.h"

#include <atomic>

namespace locmail::delivery {

// Declared in no header of the agent: nothing in production sets the count.
// The agent's tests reach it by name to start a case at a given count.
std::atomic<int32_t> g_deliveredMessages{0};

bool CountDeliveredMessage()
{
    return g_deliveredMessages.fetch_add(1, std::memory_order_relaxed) > kMessagesBeforeStop;
}

int32_t DeliveredMessageCount() { return g_deliveredMessages.load(std::memory_order_relaxed); }

} // namespace locmail::delivery
