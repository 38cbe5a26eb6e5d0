#include "suite/mq/FinishBatch.h"

#include "suite/mq/QueueClock.h"

namespace locmail::mq {

void FinishBatch::Add(FinishedEntry entry, int64_t nowMs)
{
    if (entries_.empty())
        oldestMs_ = nowMs;
    entries_.push_back(std::move(entry));
}

bool FinishBatch::Due(const BatchLimits& limits, int64_t nowMs) const
{
    return !entries_.empty() &&
           (entries_.size() >= limits.maxEntries || nowMs - oldestMs_ >= static_cast<int64_t>(limits.maxDelayMs));
}

int64_t FinishBatch::Apply(const QueuePaths& paths, const std::string& module, const std::string& channel)
{
    RetryPolicy policy = ReadRetryPolicy();
    int64_t now = QueueNowSeconds(), earliest = 0;
    for (const auto& entry : entries_) {
        int64_t next = FinishEntry(paths, module, channel, entry, policy, now);
        if (next != 0 && (earliest == 0 || next < earliest))
            earliest = next;
    }
    entries_.clear();
    return earliest;
}

void FinishBatch::Release() { entries_.clear(); }

} // namespace locmail::mq
