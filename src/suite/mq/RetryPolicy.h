// When a deferred recipient is tried again, and when the queue gives up.
// Read from qxmta.ini, section [Queue] (defaults in platform/ConfigKeys.h):
//   RetryMinSeconds     the wait after the first deferral
//   RetryMaxSeconds     the longest wait
//   MaxLifetimeSeconds  the age after which an entry is not deferred any more
//                       but returned to its sender
//   HoldAfterCrashes    tries that stopped the delivery process (crash, kill,
//                       hang) after which an entry is held (0 never)
// 0 is a valid value for each.
//
// Contract: the wait after the Nth deferral is RetryMinSeconds doubled N-1
// times, capped at RetryMaxSeconds. An entry has outlived the lifetime when
// its age (now - arrived) is at least MaxLifetimeSeconds. ReadRetryPolicy
// reads the file each time (the profile functions cache it).
// Failure modes: none; a missing file or key gives the defaults.
#pragma once

#include "suite/platform/ConfigKeys.h"

#include <cstdint>

namespace locmail::mq {

struct RetryPolicy {
    int64_t minSeconds = config::kRetryMinSeconds.fallback;
    int64_t maxSeconds = config::kRetryMaxSeconds.fallback;
    int64_t maxLifetimeSeconds = config::kMaxLifetimeSeconds.fallback;
    uint32_t holdAfterCrashes = config::kHoldAfterCrashes.fallback;
};

RetryPolicy ReadRetryPolicy();

int64_t RetryWaitSeconds(const RetryPolicy& policy, uint32_t attempts);

bool OutlivedLifetime(const RetryPolicy& policy, int64_t arrived, int64_t now);

} // namespace locmail::mq
