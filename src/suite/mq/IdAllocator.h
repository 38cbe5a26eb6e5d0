// Reserving the id of a new queue entry.
//
// Contract: under an exclusive lock on QUEUE/seq, the next id after the one
// the file records is taken, skipping 0, the two sentinels and every id whose
// files exist in entries/ or tmp/ (so a seq file that lost its last update in
// a crash cannot make two entries share an id). The reservation is the file
// tmp/ID.env, created exclusively and locked before the seq lock is given
// up; it stays locked for the life of the entry, which is how a recovery sweep
// tells a live entry from one left by a dead process. The seq file is
// rewritten but not synced: a lost update only costs skipped ids.
// SeqLock gives the recovery sweep the same lock, so that it never sees a
// reservation that exists but is not locked yet.
// Failure modes: ReserveEntryId returns nullopt and a fault text; nothing
// throws but std::bad_alloc.
#pragma once

#include "suite/mq/QueueLayout.h"
#include "suite/platform/UniqueFd.h"

#include <cstdint>
#include <optional>
#include <string>

namespace locmail::mq {

struct Reservation {
    uint32_t id = 0;
    UniqueFd envelope;   // tmp/ID.env, open read-write and locked
};

std::optional<Reservation> ReserveEntryId(const QueuePaths& paths, std::string& fault);

// The locked seq file, or an empty descriptor (errno set) when it cannot be had.
UniqueFd SeqLock(const QueuePaths& paths);

} // namespace locmail::mq
