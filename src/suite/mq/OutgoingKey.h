// Keys for the mail that the agent queues while it handles an entry (returned
// mail), so that a replay of that entry after a crash does not queue the same
// mail a second time.
//
// Contract: while an OutgoingKeyScope lives, every entry that this thread
// commits (CloseMQEntry) gets the delivery key BASE + "." + N instead of a
// random one, N = 1, 2, ... counting the commits tried within the scope (a
// failed one takes its number too, so that a replay numbers its mail as the
// first run did), and is queued at most once: when an entry with that key was
// committed before and is still in the queue, the new one is discarded and
// CloseMQEntry reports success with a level-5 line (SentRecord.h).
// The agent opens one per recipient, BASE = the entry's key + "." + the
// recipient's index. One scope per thread at a time; one opened inside
// another takes over until it ends. A BASE that cannot make valid keys
// (DeliveryKey.h) gets a level-1 line and the scope changes nothing: its mail
// gets random keys, so a crash may queue it twice, but none is lost.
// Limitation: once the earlier entry has left the queue (a relay took it), a
// replay queues the mail again.
// Failure modes: none beyond that log line; nothing throws but std::bad_alloc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace locmail::mq {

class OutgoingKeyScope {
public:
    explicit OutgoingKeyScope(std::string base);
    ~OutgoingKeyScope();
    OutgoingKeyScope(const OutgoingKeyScope&) = delete;
    OutgoingKeyScope& operator=(const OutgoingKeyScope&) = delete;

private:
    friend std::optional<std::string> NextOutgoingKey();
    friend std::optional<std::string> CurrentOutgoingBase();

    std::string base_;
    bool usable_ = false;
    uint32_t commits_ = 0;
    OutgoingKeyScope* outer_ = nullptr;
};

// For the commit (NewEntry.h): the key of this thread's next commit, counted
// in; none outside a scope.
std::optional<std::string> NextOutgoingKey();

// The base of this thread's scope when it makes keys, else none: for a scope
// opened inside it (BASE + "." + N) whose numbering must not depend on how
// much mail went out before it under the outer one.
std::optional<std::string> CurrentOutgoingBase();

} // namespace locmail::mq
