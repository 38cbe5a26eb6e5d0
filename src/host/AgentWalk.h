// One delivery agent and its message store, walking the channel "local" for a
// host loop: `locmail run` and the delivery thread of `locmail lmtp`.
//
// Contract: Walk() builds the store and the agent when there are none
// (Connect), then has the agent walk the channel once and says how the walk
// ended (WalkEnd). The host calls BetweenMessages from its
// WalkControl::BetweenMessages: it arms the message watchdog and raises the
// agent's flag when the host's stop predicate holds, so the message in hand
// finishes first. MakeDurable syncs the store's writes (the agent goes before
// the store, so a batch always finds it). One thread at a time.
// Failure modes: Connect logs one level-1 line and returns false with the
// reason (StoreUnavailable or QueueUnusable); Walk turns every exception of
// the agent into a WalkEnd with one level-1 line; MakeDurable returns an errno
// value (EIO without a store) after one level-1 line.
#pragma once

#include "host/MessageWatchdog.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CMsgStore;
class CLocalMail;

namespace locmail::host {

enum class WalkEnd { Drained, StopRequested, MessageCount, StoreUnavailable, QueueUnusable, Failed };

class AgentWalk {
public:
    // STOPREQUESTED: whether the host wants the walk to end after the message in hand.
    AgentWalk(std::string queueDir, std::function<bool()> stopRequested);
    ~AgentWalk();
    AgentWalk(const AgentWalk&) = delete;
    AgentWalk& operator=(const AgentWalk&) = delete;

    bool Connected() const { return agent_ != nullptr; }
    bool Connect(WalkEnd& failure);
    void Disconnect();
    WalkEnd Walk();
    void BetweenMessages();
    int MakeDurable();
    // The entry the agent keeps after a stop for the store (0 when none).
    uint32_t HeldEntry() const;

private:
    WalkEnd Classify(bool agentStop) const;

    const std::string queueDir_;
    const std::function<bool()> stopRequested_;
    MessageWatchdog watchdog_;
    // The agent refers to the store: built after it, dropped before it.
    std::unique_ptr<CMsgStore> store_;
    std::unique_ptr<CLocalMail> agent_;
    bool* agentStop_ = nullptr; // the flag of the walk in progress
};

} // namespace locmail::host
