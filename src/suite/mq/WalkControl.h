// What a process that drives queue walks tells the queue, and group commit:
// with a walk control set, RemoveMQChannel keeps each finished entry claimed
// in a pending batch and lets go of the whole batch only after one
// MakeDurable() call, so many deliveries share one sync point and no entry is
// forgotten before the store's writes that filed it are durable.
//
// Contract: a walk's batch is finished when it holds maxEntries entries or its
// oldest entry has waited maxDelayMs (both checked at every GetFirstMessage,
// GetNextMessage and RemoveMQChannel), when the walk ends (GetFirstMessage or
// GetNextMessage about to return -1 or -2), in CloseMQChannel, and by
// FlushFinishedEntries (MQapi.h) for every open walk with one MakeDurable.
// Finishing calls MakeDurable first: on 0 every removal and envelope rewrite
// of the batch is done in order (EntryFinish.h); on an errno value nothing is
// changed, one level-1 line is logged and the claims are let go, so the
// entries are offered again. Replacing or removing the control first finishes
// every pending batch with the old one, so remove it before destroying it.
// MakeDurable must not call the queue's operations.
// Failure modes: as above; nothing throws but std::bad_alloc.
#pragma once

namespace locmail::mq {

// What a queue walk asks of the process that drives it.
class WalkControl {
public:
    virtual ~WalkControl() = default;
    // At every GetFirstMessage/GetNextMessage, before the next entry is claimed: the point between two
    // messages, where a host may raise its stop flag.
    virtual void BetweenMessages() {}
    // Makes durable everything that the finished entries of a batch led to (the store's filings).
    // 0, or an errno value: then nothing of the batch is let go.
    virtual int MakeDurable() = 0;
};

struct BatchLimits {
    unsigned maxEntries = 256;
    unsigned maxDelayMs = 100;
};

// Process-wide; null removes it (RemoveMQChannel then finishes entries at once).
void SetWalkControl(WalkControl* control, BatchLimits limits = {});

// The control and limits in force, for the queue's walks.
struct ActiveWalkControl {
    WalkControl* control = nullptr;
    BatchLimits limits;
};
ActiveWalkControl CurrentWalkControl();

} // namespace locmail::mq
