// SIGTERM and SIGINT as a request to stop the delivery run, honoured between two
// messages so that the message being delivered finishes.
//
// Contract: one StopRequest per process (a second one throws std::logic_error).
// The handlers only set an async-signal-safe flag and write one byte to a
// close-on-exec pipe, so WakeFd() becomes readable and a sleeping run wakes up.
// The agent's own stop flag is a plain bool that it reads in its queue walk; a
// handler must never write it, because a flag raised while a message is half
// delivered leaves that message queued after some recipients got it. The run
// copies the request into it (CopyRequestInto) only between two messages.
// The constructor also unblocks both signals: a restart (Restart.h) blocks them
// across exec, so one that arrives meanwhile waits for this process.
// HoldStopSignals blocks both signals until the StopRequest exists: `run`
// calls it first thing, so a signal during start-up is a stop request once
// the handlers are in place, never death by the default action.
// Failure modes: the constructor throws std::system_error when the pipe or the
// handlers cannot be set up.
#pragma once

#include "suite/platform/UniqueFd.h"

namespace locmail::host {

void HoldStopSignals();

class StopRequest {
public:
    StopRequest();
    ~StopRequest(); // default dispositions back
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    bool Requested() const;
    int WakeFd() const { return wakeRead_.get(); }

    // Sets AGENTSTOP when a request is pending; never clears it.
    void CopyRequestInto(bool& agentStop) const
    {
        if (Requested())
            agentStop = true;
    }

    // Waits up to MILLISECONDS or until a request arrives; returns Requested().
    bool SleepFor(int milliseconds) const;

private:
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
};

} // namespace locmail::host
