#include "delivery/DeliveredCounter.h"

#include <atomic>

namespace locmail::delivery {

namespace {

std::atomic<int32_t> deliveredMessages{0};

} // namespace

bool CountDeliveredMessage()
{
    return deliveredMessages.fetch_add(1, std::memory_order_relaxed) > kMessagesBeforeStop;
}

int32_t DeliveredMessageCount() { return deliveredMessages.load(std::memory_order_relaxed); }

void SetDeliveredMessageCountForTests(int32_t count) { deliveredMessages.store(count, std::memory_order_relaxed); }

} // namespace locmail::delivery
