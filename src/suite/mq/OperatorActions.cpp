#include "suite/mq/OperatorActions.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/EnvelopeRewrite.h"
#include "suite/mq/HoldArea.h"
#include "suite/mq/Quarantine.h"
#include "suite/mq/QueueFileLock.h"
#include "suite/mq/QueueState.h"
#include "suite/platform/Files.h"
#include "suite/platform/Flock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace locmail::mq {
namespace {

OperatorResult NotFound(uint32_t id, const std::string& where)
{
    return {false, true, false, "no entry " + EntryName(id) + " " + where};
}

OperatorResult Busy(uint32_t id, const std::string& channel)
{
    return {false, false, true,
            "entry " + EntryName(id) + " is in the hands of a delivery run on " + channel +
                "; try again when it is done"};
}

OperatorResult Failed(const std::string& what) { return {false, false, false, what + ": " + std::strerror(errno)}; }

OperatorResult RemoveHeld(const QueuePaths& paths, const std::string& module, uint32_t id)
{
    UniqueFd lock = LockLinkedFile(paths.HoldFile(id, ".env"));
    if (!lock)
        return errno == ENOENT ? NotFound(id, "in the queue") : Failed("cannot lock its held envelope");
    if (::unlink(paths.HoldFile(id, ".msg").c_str()) != 0 && errno != ENOENT)
        return Failed("cannot remove " + paths.HoldFile(id, ".msg"));
    if (::unlink(paths.HoldFile(id, ".env").c_str()) != 0)
        return Failed("cannot remove " + paths.HoldFile(id, ".env"));
    ::unlink(paths.HoldFile(id, ".why").c_str());
    QueueLog(module, 2, "Held queue entry %08X removed by the operator", static_cast<unsigned>(id));
    return {true, false, false, ""};
}

// True when some deferral lay after NOW; they are all due at NOW then.
bool BringForward(EnvelopeData& envelope, int64_t now)
{
    bool changed = false;
    for (auto& deferral : envelope.deferrals) {
        if (deferral.nextAttempt > now) {
            deferral.nextAttempt = now;
            changed = true;
        }
    }
    return changed;
}

} // namespace

EntryClaims ClaimEveryMarker(const QueuePaths& paths, uint32_t id)
{
    EntryClaims claims;
    std::vector<std::string> channels;
    if (!ListSubfolders(paths.Channels(), channels)) {
        claims.busyChannel = "(channels cannot be read)";
        return claims;
    }
    for (const auto& channel : channels) {
        const std::string marker = paths.Marker(channel, id);
        UniqueFd fd(::open(marker.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd)
            continue;
        if (LockFd(fd.get(), LockKind::Exclusive, 0) != 0) {
            claims.busyChannel = channel;
            return claims;
        }
        if (StillLinkedAt(fd.get(), marker))
            claims.markers.push_back(std::move(fd));
    }
    claims.ok = true;
    return claims;
}

OperatorResult RemoveEntry(const QueuePaths& paths, const std::string& module, uint32_t id)
{
    const std::string envelope = paths.EntryFile(id, ".env");
    if (!FileExists(envelope))
        return RemoveHeld(paths, module, id);
    EntryClaims claims = ClaimEveryMarker(paths, id);
    if (!claims.ok)
        return Busy(id, claims.busyChannel);
    UniqueFd lock = LockLinkedFile(envelope);
    if (!lock)
        return errno == ENOENT ? NotFound(id, "in the queue") : Failed("cannot lock its envelope");
    DropMarkers(paths, id);
    if (::unlink(paths.EntryFile(id, ".msg").c_str()) != 0 && errno != ENOENT)
        return Failed("cannot remove " + paths.EntryFile(id, ".msg"));
    if (::unlink(envelope.c_str()) != 0)
        return Failed("cannot remove " + envelope);
    QueueLog(module, 2, "Queue entry %08X removed by the operator", static_cast<unsigned>(id));
    return {true, false, false, ""};
}

OperatorResult HoldQueuedEntry(const QueuePaths& paths, const std::string& module, uint32_t id,
                               const std::string& reason)
{
    if (!FileExists(paths.EntryFile(id, ".env")))
        return FileExists(paths.HoldFile(id, ".env")) ? NotFound(id, "queued: it is held already")
                                                      : NotFound(id, "queued");
    EntryClaims claims = ClaimEveryMarker(paths, id);
    if (!claims.ok)
        return Busy(id, claims.busyChannel);
    if (!HoldEntry(paths, module, id, reason))
        return {false, false, false, "it could not be moved to " + paths.Hold() + " (see the log)"};
    return {true, false, false, ""};
}

FlushResult MakeDeferralsDue(const QueuePaths& paths, const std::string& module, int64_t now)
{
    FlushResult result;
    std::vector<uint32_t> ids;
    if (!ListEntryIds(paths.Entries(), ".env", ids)) {
        result.faults.push_back("cannot read " + paths.Entries() + ": " + std::strerror(errno));
        return result;
    }
    result.readable = true;
    for (uint32_t id : ids) {
        UniqueFd lock = LockLinkedFile(paths.EntryFile(id, ".env"));
        if (!lock)
            continue; // removed meanwhile
        ParsedEnvelope parsed = ReadEntryEnvelope(paths, id);
        if (!parsed.ok || !BringForward(parsed.data, now))
            continue;
        std::string fault;
        if (!ReplaceEnvelope(paths, id, parsed.data, paths.EntryFile(id, ".env"), fault)) {
            result.faults.push_back("entry " + EntryName(id) + ": " + fault);
            continue;
        }
        QueueLog(module, 2, "Queue entry %08X: deferred recipients made due by the operator",
                 static_cast<unsigned>(id));
        ++result.madeDue;
    }
    return result;
}

} // namespace locmail::mq
