// The per-message watchdog of `locmail run`: a message whose delivery takes
// longer than [Queue] MessageTimeoutSeconds (default 600; 0 turns it off) ends
// the process, so that the hang counts against the entry like a crash (the
// queue's in-flight record) and the supervisor that restarts `run` goes on
// with the queue; after [Queue] HoldAfterCrashes such ends the entry is held.
//
// Contract: Arm() (re)starts the timer, Disarm() stops it; the destructor
// disarms. On expiry the process writes one line to standard error and dies
// of SIGALRM (the default action), from the signal handler, without running
// anything that is not async-signal-safe. One watchdog per process.
// Failure modes: none; a timer that cannot be set leaves the run unguarded.
#pragma once

namespace locmail::host {

class MessageWatchdog {
public:
    MessageWatchdog();
    ~MessageWatchdog();
    MessageWatchdog(const MessageWatchdog&) = delete;
    MessageWatchdog& operator=(const MessageWatchdog&) = delete;

    void Arm();
    void Disarm();
    unsigned Seconds() const { return seconds_; }

private:
    unsigned seconds_;
};

} // namespace locmail::host
