// What an operator's tool does to entries (`locmail queue rm|hold|flush`),
// safe beside delivery runs of any process.
//
// Contract: ClaimEveryMarker takes, without waiting, the claim a walker takes
// (ChannelWalk.h: the lock of the entry's marker) on every channel where the
// entry has one, and keeps them until the claims are destroyed; ok is false,
// with busyChannel, when a run holds one: the entry is in its hand or its
// finishing waits in the run's batch, and the tool must leave it alone.
// RemoveEntry removes a queued entry under all its claims and its envelope's
// lock: the markers, the text, then the envelope (last, as a walk's removal
// does, so the recovery sweep never mistakes what is left for an entry); a
// held entry's text, envelope and reason go the same way. HoldQueuedEntry
// moves a queued entry to the hold area (HoldArea.h) under all its claims.
// Both refuse, changing nothing, an id with no entry, and one a run holds.
// MakeDeferralsDue rewrites (EnvelopeRewrite.h, under each envelope's lock)
// every envelope whose deferrals lie after NOW with those deferrals due at
// NOW, attempts kept; a running delivery sees them at its next walk.
// Each change logs one line under MODULE.
// Failure modes: faults are values; nothing throws but std::bad_alloc.
#pragma once

#include "suite/mq/QueueLayout.h"
#include "suite/platform/UniqueFd.h"

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mq {

struct EntryClaims {
    bool ok = false;
    std::string busyChannel;
    std::vector<UniqueFd> markers;
};

EntryClaims ClaimEveryMarker(const QueuePaths& paths, uint32_t id);

struct OperatorResult {
    bool ok = false;
    bool notFound = false; // no such entry (queued, or held where that counts)
    bool busy = false;     // a delivery run holds it
    std::string fault;
};

OperatorResult RemoveEntry(const QueuePaths& paths, const std::string& module, uint32_t id);
OperatorResult HoldQueuedEntry(const QueuePaths& paths, const std::string& module, uint32_t id,
                               const std::string& reason);

struct FlushResult {
    bool readable = false;
    unsigned madeDue = 0; // entries whose envelope was rewritten
    std::vector<std::string> faults;
};

FlushResult MakeDeferralsDue(const QueuePaths& paths, const std::string& module, int64_t now);

} // namespace locmail::mq
