// The index of outgoing keys (OutgoingKey.h): QUEUE/sent/KEY holds the name of
// the entry that carries KEY ("0000002A" and a line feed), so that a commit can
// tell whether its mail is queued already.
//
// Contract: CheckAndRecordSent runs before the commit point of entry ID whose
// key is the outgoing key KEY. When the record names an entry X whose
// committed envelope (entries/X.env) carries KEY, queuedAs is X: the mail is
// queued and the caller discards its entry. Otherwise (no record, an empty or
// cut-short one, or one naming an entry that never reached its commit point,
// has left the queue since, or whose id now carries another key) the record
// is made to name ID and the caller commits. So a record alone never makes
// mail count as queued, and a crash anywhere before the commit point leaves
// the mail to be queued by the replay. Records are not synced: a power cut
// that loses one can only make a replay queue the mail again, never lose it.
// PruneSentRecords removes the records last written before CUTOFF (unix
// seconds). PruneSentRecordsWhenDue, called by the recovery sweep, does so for
// records older than [Queue] MaxLifetimeSeconds and one day more (no replay
// asks for them any more), at most once an hour per process.
// Failure modes: fault says why a record could not be written (the caller
// commits anyway: at worst a second copy after a crash); what cannot be read
// or removed is left. Nothing throws but std::bad_alloc.
#pragma once

#include "suite/mq/QueueLayout.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace locmail::mq {

struct SentCheck {
    std::optional<uint32_t> queuedAs;   // the committed entry that carries the key
    std::string fault;                  // set when the record could not be written
};

SentCheck CheckAndRecordSent(const QueuePaths& paths, const std::string& key, uint32_t id);

std::size_t PruneSentRecords(const QueuePaths& paths, int64_t cutoff);
void PruneSentRecordsWhenDue(const QueuePaths& paths);

} // namespace locmail::mq
