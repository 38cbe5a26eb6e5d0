// What happens to an entry a walk is done with: it is taken off the channel,
// or, when some of the channel's recipients were deferred, kept for them alone.
//
// Contract: a FinishedEntry holds the walk's claim (the locked marker) until
// it is finished or dropped, so no other walker can take the entry meanwhile.
// FinishEntry, under the entry's envelope lock (LockLinkedFile):
//  - nothing deferred: the marker is unlinked, then, when none of the other
//    channels has a marker for the entry, the text and the envelope, in
//    that order;
//  - some deferred: the envelope is written anew to tmp/ID.new, fsynced and
//    renamed over entries/ID.env, keeping every recipient of the other
//    channels and only the deferred ones of this channel, with the channel's
//    deferral at attempts + 1 and the next attempt at now plus the wait of
//    RetryPolicy.h. The marker stays. A crash leaves the old envelope or the
//    new one; a tmp/ID.new left behind is removed by the recovery sweep.
// It returns the next attempt it set, 0 for a removal or a failed rewrite.
// Failure modes: a rewrite that cannot be done logs one level-1 line and
// leaves the entry whole, to be offered again. No fsync for a removal.
#pragma once

#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueLayout.h"
#include "suite/mq/RetryPolicy.h"
#include "suite/platform/UniqueFd.h"

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mq {

struct FinishedEntry {
    uint32_t id = 0;
    UniqueFd claim;
    std::vector<std::string> otherChannels;
    // The deferred recipients, counted among this channel's own (0-based, ascending).
    std::vector<unsigned> deferred;
};

int64_t FinishEntry(const QueuePaths& paths, const std::string& module, const std::string& channel,
                    const FinishedEntry& entry, const RetryPolicy& policy, int64_t now);

} // namespace locmail::mq
