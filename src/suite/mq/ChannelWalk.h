// Walking one channel: its markers in id order, each claimed before it is
// handed out, so that several processes can drain a channel together without
// two of them holding the same entry.
//
// Contract: First() runs the recovery sweep (Recovery.h), lists the channel's
// markers and returns the first entry it can claim; Next() releases the
// current claim and goes on in the same listing (entries committed during a
// walk are seen by the next First()). Both first call the walk control's
// BetweenMessages and finish the pending batch when it is due, and finish it
// when they are about to return kNoMessage or kQueueUnreachable
// (WalkControl.h). A claim is a non-blocking flock on the marker, kept until
// Next(), RemoveCurrent(), Release() or destruction, and taken only when the
// marker is still linked after the lock (a walker that removed it in between
// would otherwise hand it out twice). Markers locked by another walker, or by
// this process's pending batches, are skipped. Before an entry is handed out
// it is checked (EntryCheck.h); a damaged one is moved to corrupt/ with one
// level-1 line and the walk goes on; one whose files cannot be read now
// (EMFILE, ENOMEM, EIO) is skipped with a level-2 line and stays queued; one
// that stopped its delivery process [Queue] HoldAfterCrashes times is moved to
// the hold area (HoldArea.h); one whose deferral on this channel lies
// in the future is skipped, and the earliest such time is kept
// (EarliestDeferred, together with the next attempts this walk set; reset by
// First()).
// Defer(index) marks a recipient of the claimed entry (its place in the
// envelope's recipient list) as to be tried again; false when nothing is
// claimed, the index is out of range, or the entry has outlived the queue
// lifetime (RetryPolicy.h). A recipient of another channel stays queued
// anyway, so deferring it changes nothing.
// The entry handed out is written to the walk's in-flight record (InFlight.h)
// until RemoveCurrent or Release, so a process that dies with it in hand
// counts against it. DeferAll defers all of the channel's recipients (false
// as Defer). HoldCurrent moves the claimed entry to the hold area at once,
// with REASON, and lets the claim go.
// RemoveCurrent ends the claimed entry on this channel (EntryFinish.h): at
// once without a walk control, else through the pending batch, which keeps
// the claim. Destruction finishes the pending batch.
// Failure modes: First()/Next() return kQueueUnreachable when the queue
// directory cannot be read, kNoMessage at the end. Nothing throws but
// std::bad_alloc.
#pragma once

#include "suite/mq/EntryId.h"
#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/FinishBatch.h"
#include "suite/mq/InFlight.h"
#include "suite/mq/QueueLayout.h"
#include "suite/platform/UniqueFd.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace locmail::mq {

class ChannelWalk {
public:
    ChannelWalk(QueuePaths paths, std::string channel, std::string module);
    ~ChannelWalk();
    ChannelWalk(const ChannelWalk&) = delete;
    ChannelWalk& operator=(const ChannelWalk&) = delete;

    uint32_t First();
    uint32_t Next();
    // The entry handed out last, or kNoMessage.
    uint32_t Current() const { return current_; }
    const QueuePaths& Paths() const { return paths_; }
    const std::string& Module() const { return module_; }
    // The envelope the claim checked, when ID is the current entry; else null.
    const EnvelopeData* ClaimedEnvelope(uint32_t id) const
    {
        return id == current_ && IsValidEntryId(id) ? &currentEnvelope_ : nullptr;
    }
    // The current entry's delivery key, or null.
    const char* DeliveryKey() const { return IsValidEntryId(current_) ? currentEnvelope_.key.c_str() : nullptr; }
    [[nodiscard]] bool Defer(unsigned index);
    [[nodiscard]] bool DeferAll();
    bool HoldCurrent(const std::string& reason);
    // False when nothing is claimed.
    bool RemoveCurrent();
    void Release();

    bool HasPending() const { return !batch_.Empty(); }
    // Finishes the pending batch: MakeDurable, then ConcludeBatch. True when nothing was held back.
    bool FinishPending();
    // Applies the pending batch when ERROR is 0, else lets it go with a log line; false then.
    bool ConcludeBatch(int error);
    std::time_t EarliestDeferred() const { return earliestDeferred_; }

private:
    uint32_t Step(bool restart);
    uint32_t Restart();
    uint32_t ClaimNext();
    bool Claim(uint32_t id);
    bool QueueReadable() const;
    bool DueLater(const EnvelopeData& envelope);
    bool HeldForCrashes(uint32_t id, const EnvelopeData& envelope);
    void NoteDeferred(int64_t nextAttempt);
    FinishedEntry TakeFinished();

    QueuePaths paths_;
    std::string channel_;
    std::string module_;
    std::vector<uint32_t> listing_;
    std::size_t position_ = 0;
    bool started_ = false;
    uint32_t current_;
    UniqueFd claim_;
    EnvelopeData currentEnvelope_;
    std::vector<bool> deferred_;   // by recipient index of currentEnvelope_
    FinishBatch batch_;
    InFlightRecord inFlight_;
    uint32_t crashLimit_ = 0;
    std::time_t earliestDeferred_ = 0;
};

} // namespace locmail::mq
