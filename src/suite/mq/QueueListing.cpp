#include "suite/mq/QueueListing.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/QueueLayout.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace locmail::mq {
namespace {

std::map<uint32_t, std::vector<std::string>> ChannelsById(const QueuePaths& paths)
{
    std::map<uint32_t, std::vector<std::string>> byId;
    std::vector<std::string> channels;
    std::vector<uint32_t> ids;
    if (!ListSubfolders(paths.Channels(), channels))
        return byId;
    for (const auto& channel : channels) {
        if (!ListEntryIds(paths.Channel(channel), "", ids))
            continue;
        for (uint32_t id : ids)
            byId[id].push_back(channel);
    }
    return byId;
}

ListedDeferral DescribeDeferral(const ChannelDeferral& deferral, const EnvelopeData& envelope)
{
    ListedDeferral listed{deferral.channel, deferral.attempts, deferral.nextAttempt, {}};
    for (const auto& r : envelope.recipients)
        if (RecipientOnChannel(r, deferral.channel))
            listed.waiting.push_back(r.address);
    return listed;
}

ListedEntry Describe(uint32_t id, const EnvelopeData& envelope, std::vector<std::string> channels)
{
    ListedEntry entry;
    entry.id = id;
    entry.arrived = envelope.arrived;
    entry.size = envelope.messageSize;
    if (!envelope.senders.empty())
        entry.sender = envelope.senders.front().address;
    for (const auto& r : envelope.recipients)
        entry.recipients.push_back({r.address, r.channel});
    // A channel that has since delivered its deferred recipients has no marker left; its line is history.
    for (const auto& deferral : envelope.deferrals)
        if (std::find(channels.begin(), channels.end(), deferral.channel) != channels.end())
            entry.deferrals.push_back(DescribeDeferral(deferral, envelope));
    entry.channels = std::move(channels);
    return entry;
}

} // namespace

QueueListing ListEntries(const std::string& queueDir)
{
    QueueListing listing;
    QueuePaths paths(queueDir);
    std::vector<uint32_t> ids;
    if (!ListEntryIds(paths.Entries(), ".env", ids)) {
        listing.fault = "cannot read " + paths.Entries() + ": " + std::strerror(errno);
        return listing;
    }
    listing.readable = true;
    auto channels = ChannelsById(paths);
    for (uint32_t id : ids) {
        EntryCheck check = CheckEntry(paths, id);
        if (!check.ok) {
            listing.notes.push_back("entry " + EntryName(id) + " skipped: " + check.fault);
            continue;
        }
        auto found = channels.find(id);
        listing.entries.push_back(
            Describe(id, check.envelope, found == channels.end() ? std::vector<std::string>{} : found->second));
    }
    return listing;
}

} // namespace locmail::mq
