// Keeps the service signals (SIGTERM, SIGINT, SIGHUP) off the threads a
// service starts, so that they reach the main thread and interrupt its wait
// at once instead of landing in a worker that does not look at them.
//
// Contract: while a ServiceSignalsHeld lives, the calling thread blocks the
// three signals; a thread it starts meanwhile inherits that mask for good.
// The destructor puts the caller's mask back (a pending signal then arrives).
// Failure modes: none (pthread_sigmask does not fail with these arguments).
#pragma once

#include <signal.h>

namespace locmail::host {

class ServiceSignalsHeld {
public:
    ServiceSignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGTERM);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    ~ServiceSignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    ServiceSignalsHeld(const ServiceSignalsHeld&) = delete;
    ServiceSignalsHeld& operator=(const ServiceSignalsHeld&) = delete;

private:
    sigset_t before_;
};

} // namespace locmail::host
