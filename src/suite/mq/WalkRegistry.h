// The open channel walks of this process, for what looks across them: the
// envelope a claim has just checked (so GetMQEnvelope need not read and parse
// the file again), the earliest deferred attempt, and finishing every pending
// batch with one MakeDurable.
//
// Contract: a walk is registered for as long as its context is open
// (MQapi.cpp). FinishEveryPendingBatch calls the current control's
// MakeDurable once when any walk has a pending batch and concludes every such
// batch with its result; true when nothing was pending or it returned 0.
// Walks are driven by one thread at a time. Failure modes: see WalkControl.h.
#pragma once

#include "suite/mq/Envelope.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace locmail::mq {

class ChannelWalk;

void RegisterWalk(ChannelWalk* walk);
void UnregisterWalk(ChannelWalk* walk);

// A copy owned by the caller (FreeMQEnvelope), or null when no walk on the
// queue QUEUEDIR holds ID (ids repeat across queues).
stEnvelope* ClaimedEnvelopeCopy(const std::string& queueDir, uint32_t id);

// The earliest next attempt that the walks' last listings skipped or set; 0 none.
std::time_t EarliestDeferredOfWalks();

bool FinishEveryPendingBatch();

} // namespace locmail::mq
