// Starting `locmail run` with the fault shim (faultshim.c) preloaded: killed
// after a chosen number of file-changing calls or when it goes idle, traced,
// or announcing its idle waits through a FIFO.
#pragma once

#include "integration/RunSupport.h"
#include "suite/platform/Process.h"
#include "suite/platform/UniqueFd.h"

#include <string>
#include <vector>

namespace testsupport {

struct ShimOptions {
    unsigned long killAt = 0;  // 0: no kill point
    int signal = 9;            // what the kill point sends: SIGKILL, or SIGTERM for a stop request
    int inImage = 0;           // the kill point counts in this image only: 1 is the run after its first restart
    std::string killOnWriteTo; // instead: killed right after the first write to a path containing this
    bool killOnIdle = false;
    std::string trace;    // trace file, "" for none
    std::string idleFifo; // FIFO for idle announcements, "" for none
};

// `locmail --config CONFIG ARGS...` with the shim watching the installation's directory.
locmail::Process StartWithShim(const Installation& inst, const std::vector<std::string>& args,
                               const ShimOptions& options);

// Exit code as Process::Wait gives it for a process ended by SIGKILL.
constexpr int kKilled = 128 + 9;

// A FIFO in the installation directory whose reader learns when a service is idle.
class IdleSignal {
public:
    explicit IdleSignal(const Installation& inst);
    const std::string& Path() const { return path_; }
    // Waits (in poll, not in a sleep loop) for the next announcement; false after LIMIT_MS.
    bool WaitForIdle(int limitMs);

private:
    std::string path_;
    locmail::UniqueFd read_;
    locmail::UniqueFd keepOpen_; // a writer of our own, so the reader never sees end of file
};

} // namespace testsupport
