// What `locmail run --once` tells on standard output: one summary line at the
// end, "delivered N, returned N, discarded N, deferred N, held N in S s", from
// the agent's outcome lines (delivery/OutcomeLine.h); on a terminal also a
// progress line rewritten in place (\r) during the run, at most four times a
// second and only once the run has taken a second.
//
// Contract: one RunSummary per run. A restart (Restart.h) replaces the process:
// PassOn puts the counts and the start time into the environment just before
// it, and the next process's RunSummary takes them back (and out of the
// environment, so no child inherits them). Failure modes: none; a summary that
// cannot be written is lost.
#pragma once

#include "delivery/OutcomeLine.h"

#include <chrono>
#include <string>

namespace locmail::host {

class RunSummary {
public:
    explicit RunSummary(bool onTerminal);

    // Between two messages: the progress line, when one is due.
    void Tick();
    void PassOn() const;
    void Print();

    // The counts of this run, those of earlier processes included, and its time.
    std::string Text() const;

private:
    using Clock = std::chrono::steady_clock;

    delivery::OutcomeCounts Counts() const;

    const bool onTerminal_;
    delivery::OutcomeCounts before_; // from the processes before a restart
    Clock::time_point start_;
    Clock::time_point nextProgress_;
    bool progressShown_ = false;
};

} // namespace locmail::host
