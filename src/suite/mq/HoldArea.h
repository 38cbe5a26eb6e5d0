// The hold area, QUEUE/hold/: entries kept out of delivery, never deleted. An
// entry goes there when it stopped its delivery process too often (InFlight.h)
// or the agent cannot deliver it for its shape; an operator lists it with
// `locmail queue ls` and puts it back with `locmail queue release ID`.
//
// Contract: HoldEntry, under the envelope's lock: writes hold/ID.why (the
// reason, one line), drops the entry's markers from every channel, then moves
// entries/ID.env and entries/ID.msg into hold/, and logs one level-1 line
// "Queue entry 0000002A held (REASON); `locmail queue release 0000002A` puts it
// back". A crash in between leaves an envelope on no channel (the recovery
// sweep puts it back on its channels; it is held again) or a text alone in
// entries/ whose envelope is in hold/ (the sweep finishes the move:
// FinishInterruptedHold).
// ReleaseHeldEntry puts a held entry back: its crash count set to 0 (the
// envelope rewritten when it had one), the text and then the envelope moved
// into entries/, its markers made again, hold/ID.why removed. Refused, with a
// fault text, when the entry is not held whole or its id is taken in entries/.
// ListHeld reads hold/ without changing anything.
// Failure modes: HoldEntry returns false with a level-1 line when the files
// cannot be moved (the entry then stays queued); nothing throws but
// std::bad_alloc.
#pragma once

#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueLayout.h"

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mq {

bool HoldEntry(const QueuePaths& paths, const std::string& module, uint32_t id, const std::string& reason);

// True when ID's envelope is in hold/ and its text was moved there (or already was).
bool FinishInterruptedHold(const QueuePaths& paths, uint32_t id);

struct ReleaseResult {
    bool ok = false;
    std::string fault;
};

ReleaseResult ReleaseHeldEntry(const QueuePaths& paths, const std::string& module, uint32_t id);

struct HeldEntry {
    uint32_t id = 0;
    EnvelopeData envelope;
    std::string reason;
};

struct HeldListing {
    std::vector<HeldEntry> entries;
    std::vector<std::string> notes;   // held files that do not make a whole entry
};

HeldListing ListHeld(const QueuePaths& paths);

} // namespace locmail::mq
