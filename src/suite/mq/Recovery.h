// The sweep that finishes or undoes what dead processes left behind. Every
// walk runs it first (GetFirstMessage), so a crash costs nothing until the
// next walk and needs no separate recovery step.
//
// Contract, for what a process can leave when it dies at any instant:
//  - tmp/ID.env whose lock nobody holds (a builder died before the commit
//    point): the entry is undone: entries/ID.msg (when there is no
//    entries/ID.env), tmp/ID.msg and tmp/ID.env are removed. This part runs
//    under the seq lock, so a reservation is never seen before it is locked.
//  - tmp/ID.msg without tmp/ID.env (a discard cut short): removed.
//  - tmp/ID.new while nobody holds the lock of entries/ID.env (an envelope
//    rewrite cut short before its rename, EntryFinish.h): removed; the old
//    envelope stands.
//  - entries/ID.env on no channel at all and not locked (a builder died after
//    the commit point, before its markers existed; or a removal was cut short
//    after dropping the last marker): when the entry checks out whole
//    (EntryCheck.h) the markers of every channel in the envelope are created
//    again. The second case makes the entry be delivered again, the price of
//    removals without an fsync. An entry that does not check out (its text
//    was already deleted, or it is damaged) is moved to corrupt/ with its
//    level-1 line (Quarantine.h).
//  - entries/ID.msg on no channel without an envelope in entries/ or tmp/:
//    moved to corrupt/ (only damage from outside leaves one: removals delete
//    the text before the envelope, and a builder keeps its envelope in tmp/
//    until the text is in entries/).
//  - sent/ records of outgoing keys older than [Queue] MaxLifetimeSeconds and
//    a day: removed, at most once an hour per process (SentRecord.h).
// Each repair logs one line (level 2; level 1 for what goes to corrupt/).
// Live entries (locked envelopes) are never touched, nor are entries that a
// walk's pending batch holds: they keep their markers until finished.
// Limitation: an entry routed to several channels whose builder died between
// creating two of its markers stays on the channels it reached.
// Failure modes: none reported; what cannot be read is left for the next sweep.
#pragma once

#include "suite/mq/QueueLayout.h"

#include <string>

namespace locmail::mq {

void RecoverQueue(const QueuePaths& paths, const std::string& module);

} // namespace locmail::mq
