// The delivery thread of `locmail lmtp`: walks the channel "local" as
// `locmail run` does (AgentWalk.h), so it delivers whatever is queued there,
// not only what LMTP sessions queued; it is the process's walk control.
//
// Contract: the constructor sets the walk control (group commit, batches of
// 256 entries or 100 ms) and starts the thread; Wake() makes it walk soon
// (a session has queued an entry; inotify on the channel wakes it too, and a
// deferred entry when it is due). After each durable batch it tells the
// OutcomeBoard (MadeDurable). When the store stops a walk, the entry in hand
// stays queued and its recipients without an outcome get 451 4.3.0 at once
// (OutcomeBoard::GiveUp); it tries again after 1 s, doubling up to 60 s. Stop() (and the destructor) lets the walk in
// progress end after its message, joins the thread and removes the walk
// control. After the agent's share of messages per process it marks the
// process for a restart (RestartDue, and RestartFd becomes readable) and goes
// on delivering, with a new agent for each walk, until the server has let its
// sessions end and stops it.
// Failure modes: a walk that cannot use the queue or fails unexpectedly is
// logged and tried again after the same delay; nothing throws but
// std::bad_alloc and std::system_error from the thread's start.
#pragma once

#include "host/AgentWalk.h"
#include "host/LmtpOutcomes.h"
#include "host/RetryDelay.h"
#include "suite/mq/WalkControl.h"
#include "suite/platform/UniqueFd.h"

#include <atomic>
#include <string>
#include <thread>

namespace locmail::host {

class LmtpDelivery final : public mq::WalkControl {
public:
    LmtpDelivery(std::string queueDir, OutcomeBoard& board);
    ~LmtpDelivery() override;
    LmtpDelivery(const LmtpDelivery&) = delete;
    LmtpDelivery& operator=(const LmtpDelivery&) = delete;

    void Wake();
    void Stop();
    bool RestartDue() const { return restartDue_; }
    int RestartFd() const { return restart_.get(); }

    void BetweenMessages() override { walk_.BetweenMessages(); }
    int MakeDurable() override;

private:
    void Loop();
    int AfterWalk(WalkEnd end);
    void WaitMs(int milliseconds);

    OutcomeBoard& board_;
    std::atomic<bool> stopping_{false};
    UniqueFd wake_; // an eventfd
    std::atomic<bool> restartDue_{false};
    UniqueFd restart_; // an eventfd, readable once a restart is due
    AgentWalk walk_;
    RetryDelay delay_;
    std::thread thread_;
};

} // namespace locmail::host
