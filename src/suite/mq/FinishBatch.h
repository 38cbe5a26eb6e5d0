// The entries a walk is done with but may not let go of yet: each keeps its
// claim until the batch is applied (after a successful MakeDurable) or
// released (after a failed one). See WalkControl.h for when that happens.
//
// Contract: Apply finishes the entries in the order they were added
// (EntryFinish.h), reading the retry settings once, and returns the earliest
// next attempt it set (0 none); Release drops the claims and changes nothing.
// Both leave the batch empty. Due is true for a non-empty batch that holds
// LIMITS.maxEntries entries or whose oldest entry was added LIMITS.maxDelayMs
// ago or more. Failure modes: see EntryFinish.h.
#pragma once

#include "suite/mq/EntryFinish.h"
#include "suite/mq/WalkControl.h"

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mq {

class FinishBatch {
public:
    bool Empty() const { return entries_.empty(); }
    std::size_t Size() const { return entries_.size(); }
    void Add(FinishedEntry entry, int64_t nowMs);
    bool Due(const BatchLimits& limits, int64_t nowMs) const;
    int64_t Apply(const QueuePaths& paths, const std::string& module, const std::string& channel);
    void Release();

private:
    std::vector<FinishedEntry> entries_;
    int64_t oldestMs_ = 0;
};

} // namespace locmail::mq
