// When a deferred recipient is tried again, and when the queue gives up.
// Read from qxmta.ini, section [Queue]:
//   RetryMinSeconds     the wait after the first deferral (default 60)
//   RetryMaxSeconds     the longest wait (default 3600)
//   MaxLifetimeSeconds  the age after which an entry is not deferred any more
//                       but returned to its sender (default 432000, 5 days)
//   HoldAfterCrashes    tries that stopped the delivery process (crash, kill,
//                       hang) after which an entry is held (default 3; 0 never)
// 0 is a valid value for each.
//
// Contract: the wait after the Nth deferral is RetryMinSeconds doubled N-1
// times, capped at RetryMaxSeconds. An entry has outlived the lifetime when
// its age (now - arrived) is at least MaxLifetimeSeconds. ReadRetryPolicy
// reads the file each time (the profile functions cache it).
// Failure modes: none; a missing file or key gives the defaults.
#pragma once

#include <cstdint>

namespace locmail::mq {

struct RetryPolicy {
    int64_t minSeconds = 60;
    int64_t maxSeconds = 3600;
    int64_t maxLifetimeSeconds = 432000;
    uint32_t holdAfterCrashes = 3;
};

RetryPolicy ReadRetryPolicy();

int64_t RetryWaitSeconds(const RetryPolicy& policy, uint32_t attempts);

bool OutlivedLifetime(const RetryPolicy& policy, int64_t arrived, int64_t now);

} // namespace locmail::mq
