#include "suite/mq/RetryPolicy.h"

#include "suite/platform/ConfigKeys.h"
#include "suite/platform/ProfileCache.h"

#include <algorithm>

namespace locmail::mq {

RetryPolicy ReadRetryPolicy()
{
    namespace config = locmail::config;
    ProfileReadScope oneVersion; // the four keys are read from one version of the file
    auto read = [](const config::NumberKey& key) { return static_cast<int64_t>(config::ReadNumber(key)); };
    int64_t holdAfter = read(config::kHoldAfterCrashes);
    return {read(config::kRetryMinSeconds), read(config::kRetryMaxSeconds), read(config::kMaxLifetimeSeconds),
            static_cast<uint32_t>(std::clamp<int64_t>(holdAfter, 0, 1000000))};
}

int64_t RetryWaitSeconds(const RetryPolicy& policy, uint32_t attempts)
{
    int64_t wait = policy.minSeconds;
    for (uint32_t n = 1; n < attempts && wait > 0 && wait < policy.maxSeconds; ++n)
        wait *= 2;
    return std::min(wait, policy.maxSeconds);
}

bool OutlivedLifetime(const RetryPolicy& policy, int64_t arrived, int64_t now)
{
    return now - arrived >= policy.maxLifetimeSeconds;
}

} // namespace locmail::mq
