#include "suite/mq/ChannelWalk.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/HoldArea.h"
#include "suite/mq/Quarantine.h"
#include "suite/mq/QueueClock.h"
#include "suite/mq/QueueFileLock.h"
#include "suite/mq/QueueState.h"
#include "suite/mq/Recovery.h"
#include "suite/mq/RetryPolicy.h"
#include "suite/mq/WalkControl.h"
#include "suite/platform/Files.h"
#include "suite/platform/Flock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace locmail::mq {

ChannelWalk::ChannelWalk(QueuePaths paths, std::string channel, std::string module)
    : paths_(std::move(paths)), channel_(std::move(channel)), module_(std::move(module)), current_(kNoMessage),
      inFlight_(paths_, channel_, module_)
{
}

ChannelWalk::~ChannelWalk()
{
    Release();
    (void)FinishPending();
}

bool ChannelWalk::QueueReadable() const { return IsDirectory(paths_.Entries()); }

uint32_t ChannelWalk::First() { return Step(true); }

uint32_t ChannelWalk::Next() { return Step(!started_); }

uint32_t ChannelWalk::Step(bool restart)
{
    Release();
    ActiveWalkControl active = CurrentWalkControl();
    if (active.control != nullptr)
        active.control->BetweenMessages();
    if (batch_.Due(active.limits, QueueNowMs()))
        (void)FinishPending();
    uint32_t id = restart ? Restart() : QueueReadable() ? ClaimNext() : kQueueUnreachable;
    if (!IsValidEntryId(id))
        (void)FinishPending();
    return id;
}

uint32_t ChannelWalk::Restart()
{
    started_ = true;
    listing_.clear();
    position_ = 0;
    earliestDeferred_ = 0;
    crashLimit_ = ReadRetryPolicy().holdAfterCrashes;
    if (!QueueReadable())
        return kQueueUnreachable;
    RecoverQueue(paths_, module_);
    if (!ListEntryIds(paths_.Channel(channel_), "", listing_)) {
        // A channel folder removed by hand is an empty channel; a queue that went away is not.
        return errno == ENOENT && QueueReadable() ? kNoMessage : kQueueUnreachable;
    }
    return ClaimNext();
}

uint32_t ChannelWalk::ClaimNext()
{
    while (position_ < listing_.size()) {
        uint32_t id = listing_[position_++];
        if (!Claim(id))
            continue;
        EntryCheck check = CheckEntry(paths_, id);
        if (!check.ok && check.readError != 0) {
            QueueLog(module_, 2, "Queue entry %08X cannot be checked now (%s); it stays queued",
                     static_cast<unsigned>(id), check.fault.c_str());
            Release();
            continue;
        }
        if (!check.ok) {
            QuarantineEntry(paths_, module_, id, check.fault);
            Release();
            continue;
        }
        if (DueLater(check.envelope) || HeldForCrashes(id, check.envelope)) {
            Release();
            continue;
        }
        currentEnvelope_ = std::move(check.envelope);
        deferred_.assign(currentEnvelope_.recipients.size(), false);
        inFlight_.Mark(id);
        return current_;
    }
    return kNoMessage;
}

bool ChannelWalk::Claim(uint32_t id)
{
    std::string marker = paths_.Marker(channel_, id);
    UniqueFd fd(::open(marker.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || LockFd(fd.get(), LockKind::Exclusive, 0) != 0 || !StillLinkedAt(fd.get(), marker))
        return false;
    claim_ = std::move(fd);
    current_ = id;
    return true;
}

bool ChannelWalk::DueLater(const EnvelopeData& envelope)
{
    const ChannelDeferral* deferral = FindDeferral(envelope, channel_);
    if (deferral == nullptr || deferral->nextAttempt <= QueueNowSeconds())
        return false;
    NoteDeferred(deferral->nextAttempt);
    return true;
}

bool ChannelWalk::HeldForCrashes(uint32_t id, const EnvelopeData& envelope)
{
    if (crashLimit_ == 0 || envelope.crashes < crashLimit_)
        return false;
    std::string reason = "its delivery stopped the process " + std::to_string(envelope.crashes) +
                         (envelope.crashes == 1 ? " time" : " times") + " (crashed, killed or hung)";
    return HoldEntry(paths_, module_, id, reason);
}

bool ChannelWalk::HoldCurrent(const std::string& reason)
{
    if (!claim_)
        return false;
    uint32_t id = current_;
    inFlight_.Clear();
    bool held = HoldEntry(paths_, module_, id, reason);
    Release();
    return held;
}

void ChannelWalk::NoteDeferred(int64_t nextAttempt)
{
    if (nextAttempt != 0 && (earliestDeferred_ == 0 || nextAttempt < earliestDeferred_))
        earliestDeferred_ = static_cast<std::time_t>(nextAttempt);
}

bool ChannelWalk::Defer(unsigned index)
{
    if (!claim_ || index >= deferred_.size())
        return false;
    if (OutlivedLifetime(ReadRetryPolicy(), currentEnvelope_.arrived, QueueNowSeconds()))
        return false;
    deferred_[index] = true;
    return true;
}

bool ChannelWalk::DeferAll()
{
    if (!claim_)
        return false;
    if (OutlivedLifetime(ReadRetryPolicy(), currentEnvelope_.arrived, QueueNowSeconds()))
        return false;
    for (std::size_t i = 0; i < currentEnvelope_.recipients.size(); ++i)
        if (RecipientOnChannel(currentEnvelope_.recipients[i], channel_))
            deferred_[i] = true;
    return true;
}

FinishedEntry ChannelWalk::TakeFinished()
{
    FinishedEntry done;
    done.id = current_;
    done.claim = std::move(claim_);
    for (const auto& route : currentEnvelope_.channels)
        if (route.name != channel_)
            done.otherChannels.push_back(route.name);
    unsigned ordinal = 0;
    for (std::size_t i = 0; i < currentEnvelope_.recipients.size(); ++i) {
        if (!RecipientOnChannel(currentEnvelope_.recipients[i], channel_))
            continue;
        if (deferred_[i])
            done.deferred.push_back(ordinal);
        ++ordinal;
    }
    deferred_.clear();
    return done;
}

bool ChannelWalk::RemoveCurrent()
{
    if (!claim_)
        return false;
    inFlight_.Clear();
    FinishedEntry done = TakeFinished();
    ActiveWalkControl active = CurrentWalkControl();
    if (active.control == nullptr) {
        NoteDeferred(FinishEntry(paths_, module_, channel_, done, ReadRetryPolicy(), QueueNowSeconds()));
        return true;
    }
    batch_.Add(std::move(done), QueueNowMs());
    if (batch_.Due(active.limits, QueueNowMs()))
        (void)FinishPending();
    return true;
}

bool ChannelWalk::FinishPending()
{
    if (batch_.Empty())
        return true;
    WalkControl* control = CurrentWalkControl().control;
    return ConcludeBatch(control != nullptr ? control->MakeDurable() : ECANCELED);
}

bool ChannelWalk::ConcludeBatch(int error)
{
    if (error == 0) {
        NoteDeferred(batch_.Apply(paths_, module_, channel_));
        return true;
    }
    QueueLog(module_, 1, "Deliveries of %zu queue entries on %s could not be made durable (%s); they stay queued",
             batch_.Size(), channel_.c_str(), std::strerror(error));
    batch_.Release();
    return false;
}

void ChannelWalk::Release()
{
    inFlight_.Clear();
    claim_.reset();
    current_ = kNoMessage;
    currentEnvelope_ = EnvelopeData();
    deferred_.clear();
}

} // namespace locmail::mq
