#include "suite/mq/EntryFinish.h"

#include "suite/mq/EntryCheck.h"
#include "suite/mq/EnvelopeRewrite.h"
#include "suite/mq/QueueFileLock.h"
#include "suite/mq/QueueState.h"
#include "suite/platform/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace locmail::mq {
namespace {

void TakeOffChannel(const QueuePaths& paths, const std::string& channel, const FinishedEntry& entry)
{
    // Held so that the recovery sweep cannot take the entry for one that lost its markers.
    UniqueFd envelope = LockLinkedFile(paths.EntryFile(entry.id, ".env"));
    ::unlink(paths.Marker(channel, entry.id).c_str());
    bool elsewhere = std::any_of(entry.otherChannels.begin(), entry.otherChannels.end(),
                                 [&](const std::string& other) { return FileExists(paths.Marker(other, entry.id)); });
    if (!elsewhere) {
        ::unlink(paths.EntryFile(entry.id, ".msg").c_str());
        ::unlink(paths.EntryFile(entry.id, ".env").c_str());
    }
}

// ENVELOPE with this channel's recipients cut down to the deferred ones and its deferral advanced.
int64_t Defer(EnvelopeData& envelope, const std::string& channel, const std::vector<unsigned>& deferred,
              const RetryPolicy& policy, int64_t now)
{
    std::vector<RecipientRecord> kept;
    unsigned ordinal = 0;
    for (auto& recipient : envelope.recipients) {
        if (!RecipientOnChannel(recipient, channel) ||
            std::binary_search(deferred.begin(), deferred.end(), ordinal++))
            kept.push_back(std::move(recipient));
    }
    envelope.recipients = std::move(kept);
    auto found = std::find_if(envelope.deferrals.begin(), envelope.deferrals.end(),
                              [&](const ChannelDeferral& d) { return d.channel == channel; });
    if (found == envelope.deferrals.end()) {
        envelope.deferrals.push_back(ChannelDeferral{channel, 0, 0});
        found = envelope.deferrals.end() - 1;
    }
    found->attempts += 1;
    found->nextAttempt = now + RetryWaitSeconds(policy, found->attempts);
    return found->nextAttempt;
}

int64_t KeepDeferred(const QueuePaths& paths, const std::string& module, const std::string& channel,
                     const FinishedEntry& entry, const RetryPolicy& policy, int64_t now)
{
    UniqueFd lock = LockLinkedFile(paths.EntryFile(entry.id, ".env"));
    // Read again under the lock: another channel's walker may have rewritten it since the claim.
    ParsedEnvelope parsed = lock ? ReadEntryEnvelope(paths, entry.id) : ParsedEnvelope{};
    std::string fault = lock ? parsed.fault : std::string("cannot lock the envelope: ") + std::strerror(errno);
    if (parsed.ok) {
        int64_t next = Defer(parsed.data, channel, entry.deferred, policy, now);
        if (ReplaceEnvelope(paths, entry.id, parsed.data, paths.EntryFile(entry.id, ".env"), fault))
            return next;
    }
    QueueLog(module, 1, "Queue entry %08X: deferred recipients not recorded (%s); the entry is offered again whole",
             static_cast<unsigned>(entry.id), fault.c_str());
    return 0;
}

} // namespace

int64_t FinishEntry(const QueuePaths& paths, const std::string& module, const std::string& channel,
                    const FinishedEntry& entry, const RetryPolicy& policy, int64_t now)
{
    if (!entry.deferred.empty())
        return KeepDeferred(paths, module, channel, entry, policy, now);
    TakeOffChannel(paths, channel, entry);
    return 0;
}

} // namespace locmail::mq
