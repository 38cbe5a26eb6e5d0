#include "suite/mq/ChannelWalk.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/FileLock.h"
#include "suite/mq/Quarantine.h"
#include "suite/mq/Recovery.h"
#include "suite/platform/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace locmail::mq {

ChannelWalk::ChannelWalk(QueuePaths paths, std::string channel, std::string module)
    : paths_(std::move(paths)), channel_(std::move(channel)), module_(std::move(module)), current_(kNoMessage)
{
}

bool ChannelWalk::QueueReadable() const { return IsDirectory(paths_.Entries()); }

uint32_t ChannelWalk::First()
{
    Release();
    started_ = true;
    listing_.clear();
    position_ = 0;
    if (!QueueReadable())
        return kQueueUnreachable;
    RecoverQueue(paths_, module_);
    if (!ListEntryIds(paths_.Channel(channel_), "", listing_)) {
        // A channel folder removed by hand is an empty channel; a queue that went away is not.
        return errno == ENOENT && QueueReadable() ? kNoMessage : kQueueUnreachable;
    }
    return ClaimNext();
}

uint32_t ChannelWalk::Next()
{
    if (!started_)
        return First();
    Release();
    if (!QueueReadable())
        return kQueueUnreachable;
    return ClaimNext();
}

uint32_t ChannelWalk::ClaimNext()
{
    while (position_ < listing_.size()) {
        uint32_t id = listing_[position_++];
        if (!Claim(id))
            continue;
        EntryCheck check = CheckEntry(paths_, id);
        if (!check.ok) {
            QuarantineEntry(paths_, module_, id, check.fault);
            Release();
            continue;
        }
        currentEnvelope_ = std::move(check.envelope);
        return current_;
    }
    return kNoMessage;
}

bool ChannelWalk::Claim(uint32_t id)
{
    std::string marker = paths_.Marker(channel_, id);
    UniqueFd fd(::open(marker.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || !TryLockExclusive(fd.get()) || !StillLinkedAt(fd.get(), marker))
        return false;
    claim_ = std::move(fd);
    current_ = id;
    return true;
}

bool ChannelWalk::RemoveCurrent()
{
    if (!claim_)
        return false;
    UniqueFd envelope(::open(paths_.EntryFile(current_, ".env").c_str(), O_RDONLY | O_CLOEXEC));
    // Held so that the recovery sweep cannot take the entry for one that lost its markers.
    if (envelope)
        (void)LockExclusive(envelope.get());
    ::unlink(paths_.Marker(channel_, current_).c_str());
    bool elsewhere = false;
    for (const auto& route : currentEnvelope_.channels)
        if (route.name != channel_ && FileExists(paths_.Marker(route.name, current_)))
            elsewhere = true;
    if (!elsewhere) {
        ::unlink(paths_.EntryFile(current_, ".msg").c_str());
        ::unlink(paths_.EntryFile(current_, ".env").c_str());
    }
    claim_.reset();
    return true;
}

void ChannelWalk::Release()
{
    claim_.reset();
    current_ = kNoMessage;
    currentEnvelope_ = EnvelopeData();
}

} // namespace locmail::mq
