// Walking one channel: its markers in id order, each claimed before it is
// handed out, so that several processes can drain a channel together without
// two of them holding the same entry.
//
// Contract: First() runs the recovery sweep (Recovery.h), lists the channel's
// markers and returns the first entry it can claim; Next() releases the
// current claim and goes on in the same listing (entries committed during a
// walk are seen by the next First()). A claim is a non-blocking flock on the
// marker, kept until Next(), RemoveCurrent(), Release() or destruction, and
// taken only when the marker is still linked after the lock (a walker that
// removed it in between would otherwise hand it out twice). Markers locked by
// another walker are skipped. Before an entry is handed out it is checked
// (EntryCheck.h); a damaged one is moved to corrupt/ with one level-1 line
// and the walk goes on.
// RemoveCurrent takes the entry off this channel: under the entry's envelope
// lock it drops the marker and, when no channel of the entry keeps a marker,
// deletes the text and then the envelope. No fsync: after a crash the removal
// may be undone and the entry delivered again (Recovery.h).
// Failure modes: First()/Next() return kQueueUnreachable when the queue
// directory cannot be read, kNoMessage at the end. Nothing throws but
// std::bad_alloc.
#pragma once

#include "suite/mq/EntryId.h"
#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueLayout.h"
#include "suite/platform/UniqueFd.h"

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mq {

class ChannelWalk {
public:
    ChannelWalk(QueuePaths paths, std::string channel, std::string module);
    ChannelWalk(const ChannelWalk&) = delete;
    ChannelWalk& operator=(const ChannelWalk&) = delete;

    uint32_t First();
    uint32_t Next();
    // The claimed entry, or kNoMessage.
    uint32_t Current() const { return current_; }
    // The envelope the claim checked, when ID is the claimed entry; else null.
    const EnvelopeData* ClaimedEnvelope(uint32_t id) const
    {
        return id == current_ && IsValidEntryId(id) ? &currentEnvelope_ : nullptr;
    }
    // False when nothing is claimed.
    bool RemoveCurrent();
    void Release();

private:
    uint32_t ClaimNext();
    bool Claim(uint32_t id);
    bool QueueReadable() const;

    QueuePaths paths_;
    std::string channel_;
    std::string module_;
    std::vector<uint32_t> listing_;
    std::size_t position_ = 0;
    bool started_ = false;
    uint32_t current_;
    UniqueFd claim_;
    EnvelopeData currentEnvelope_;
};

} // namespace locmail::mq
