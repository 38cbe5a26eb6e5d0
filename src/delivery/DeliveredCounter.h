// The process-wide count of queue messages that reached the recipient walk.
//
// Contract: one count for every agent of the process, starting at 0 and never
// reset. CountDeliveredMessage adds one and answers whether the
// host should now stop: true when the count before this message was above
// 2000, so from the 2002nd message on. Updated without a lock (a relaxed
// atomic): agents on several threads may miscount by a message or two, which
// only moves the stop by as much.
// Failure modes: none.
#pragma once

#include <cstdint>

namespace locmail::delivery {

inline constexpr int32_t kMessagesBeforeStop = 2000;

[[nodiscard]] bool CountDeliveredMessage();

int32_t DeliveredMessageCount();

} // namespace locmail::delivery
