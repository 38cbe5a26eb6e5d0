// Puts the agent's process-wide message count where a case needs it. The agent
// has no setter for it; its storage (delivery/DeliveredCounter.cpp) is reached
// by name, which only a statically linked test can do.
#pragma once

#include <atomic>
#include <cstdint>

namespace locmail::delivery {

extern std::atomic<int32_t> g_deliveredMessages;

inline void SetDeliveredMessageCountForTests(int32_t count)
{
    g_deliveredMessages.store(count, std::memory_order_relaxed);
}

} // namespace locmail::delivery
