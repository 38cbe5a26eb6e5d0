// The message queue library's operations, as the agent and the host call them.
// The queue is a directory (QueueLayout.h, docs/queue-format.md); these
// functions keep the suite's names and results.
//
// Contract:
//  - MQInit(queueName, moduleName): an absolute queueName is the queue
//    directory itself; anything else means [Gateway] QueueDirectory of
//    qxmta.ini (default /var/spool/locmail, platform/ConfigKeys.h). True when that directory has a usable layout; the
//    directory and the module name (under which the library logs) are then kept for the calling thread, and for the
//    process's threads that never called MQInit (QueueState.h). False, with a level-1 line, otherwise; a failed MQInit
//    leaves what an earlier one recorded. A walk keeps the queue it was
//    opened on: after GetFirstMessage/GetNextMessage, the calls below that
//    take an id alone (and CreateMQEntry) mean that walk's queue in that
//    thread, so two agents on two queues in one process never mix them.
//  - OpenMQChannel(name): a walk context for the channel (names are
//    case-insensitive; the channel folder is created when missing); null when
//    MQInit has not succeeded or the name is not valid. CloseMQChannel frees
//    any context (a new entry not yet committed is discarded, a walk's
//    pending batch is finished first).
//  - GetFirstMessage/GetNextMessage(channel, reserved): the next claimed
//    entry id in id order; kNoMessage (-1) at the end; kQueueUnreachable (-2)
//    when the queue directory cannot be read or the context is not a channel.
//    After each call MQContext::msgNumber is the id handed out (or -1). The
//    bool argument has no meaning here; the suite passes false.
//  - GetMQPathName(id, ext): the entry's file path with EXT appended
//    ("" gives the base, ".msg" the text); the pointer is to a per-thread buffer
//    that the next call overwrites, so callers copy it at once. Null before a
//    successful MQInit.
//  - GetMQEnvelope(id): the entry's envelope (the copy a walk's claim has just
//    checked, when one of this process's walks holds ID), owned by the caller until
//    FreeMQEnvelope; null when it cannot be read or is damaged.
//  - GetMQDeliveryKey(channel): the delivery key of the entry the walk handed
//    out last (DeliveryKey.h), valid until the next call on the context; null
//    when there is none.
//  - IsMQLmtpEntry(channel): the entry the walk handed out last came through
//    LMTP (its envelope's lmtp mark): its client writes returned mail and
//    retries deferred recipients. False when there is none.
//  - DeferMQRecipient(channel, index): marks the recipient at INDEX of that
//    entry's envelope (0-based, every recipient counted) as "not delivered
//    now, try again later". False, marking nothing, when the entry has
//    outlived [Queue] MaxLifetimeSeconds (the caller returns the mail
//    instead), nothing is claimed, or INDEX is out of range.
//  - DeferMQEntry(channel): DeferMQRecipient for every recipient of the
//    channel in that entry (a text that cannot be read now); false as above.
//  - HoldMQEntry(channel, reason): moves that entry to the hold area
//    (HoldArea.h) at once, with REASON for the operator, and ends its claim;
//    the caller does not remove it then. False when nothing is claimed or the
//    move failed (the entry then stays queued).
//  - RemoveMQChannel(channel): the current entry is done on the channel. With
//    no deferred recipient it is taken off the channel and deleted when no
//    channel keeps it; otherwise its envelope is rewritten to keep only the
//    deferred recipients of this channel (and every other channel's), with
//    the next attempt after a growing wait (RetryPolicy.h), and the marker
//    stays. With a walk control set this happens in a batch after
//    MakeDurable (WalkControl.h); the entry stays claimed meanwhile. True when
//    there was an entry.
//  - EarliestDeferredAttempt(): the earliest next attempt among the entries
//    the open walks' last listings skipped or deferred (unix seconds); 0 none.
//  - FlushFinishedEntries(): finishes the pending batches of every open walk
//    of the process with one MakeDurable; true when nothing was held back.
//  - QueuedEntryIds(channel): the ids on the channel now (its markers,
//    sorted); empty when there are none or they cannot be read.
//  - CreateMQEntry(): a new entry (in tmp/, invisible to walks), null on
//    failure. GetMQPathName(entry, ".msg") is where the caller writes the
//    text (the pointer stays valid until the next call on that entry).
//    InsertMQChannel routes it (the priority is recorded, walks go by id),
//    PutMQEnvelope copies the envelope (refusing texts with CR or LF), and
//    CloseMQEntry commits it durably and frees the context whatever the
//    outcome; DiscardMQEntry drops an entry not yet committed and frees the
//    context. See NewEntry.h for the commit protocol. Under an
//    OutgoingKeyScope (OutgoingKey.h) an entry whose mail is queued already
//    is discarded and CloseMQEntry returns true.
// Failure modes: every failure is a result value with a log line under the
// module name; nothing throws but std::bad_alloc.
#pragma once

#include "suite/mq/Envelope.h"
#include "suite/mq/EntryId.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

namespace locmail::mq {
class ChannelWalk;
class NewEntry;
} // namespace locmail::mq

// A channel walk or a new entry, as the operations above hand them out.
struct MQContext {
    MQContext();
    ~MQContext();
    MQContext(const MQContext&) = delete;
    MQContext& operator=(const MQContext&) = delete;

    uint32_t msgNumber;   // the current message of a walk, or -1

    std::unique_ptr<locmail::mq::ChannelWalk> walk;
    std::unique_ptr<locmail::mq::NewEntry> entry;
};

bool MQInit(const char* queueName, const char* moduleName);

MQContext* OpenMQChannel(const char* channel);
bool CloseMQChannel(MQContext* context);

uint32_t GetFirstMessage(MQContext* channel, bool reserved);
uint32_t GetNextMessage(MQContext* channel, bool reserved);

const char* GetMQPathName(uint32_t id, const char* ext);
const char* GetMQPathName(MQContext* entry, const char* ext);

stEnvelope* GetMQEnvelope(uint32_t id);
void FreeMQEnvelope(stEnvelope* envelope);

const char* GetMQDeliveryKey(MQContext* channel);
bool IsMQLmtpEntry(MQContext* channel);
bool DeferMQRecipient(MQContext* channel, unsigned index);
bool DeferMQEntry(MQContext* channel);
bool HoldMQEntry(MQContext* channel, const char* reason);
bool RemoveMQChannel(MQContext* channel);
std::time_t EarliestDeferredAttempt();
bool FlushFinishedEntries();
std::vector<uint32_t> QueuedEntryIds(const char* channel);

MQContext* CreateMQEntry();
bool InsertMQChannel(MQContext* entry, const char* channel, int priority);
bool PutMQEnvelope(MQContext* entry, const stEnvelope* envelope);
bool CloseMQEntry(MQContext* entry);
void DiscardMQEntry(MQContext* entry);

// The host's code also reaches these as mq::NAME.
namespace locmail::mq {
using ::EarliestDeferredAttempt;
using ::FlushFinishedEntries;
using ::QueuedEntryIds;
} // namespace locmail::mq
