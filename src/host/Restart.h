// Replacing the running process with a fresh copy of itself, same program and
// same arguments, when the agent asks to stop after its message count.
//
// Contract: the arguments are read back from /proc/self/cmdline and the program
// is /proc/self/exe, so nothing has to be carried from main(). The environment
// is kept, and so is the process id (a supervisor sees no exit). SIGTERM and
// SIGINT are blocked across the exec; the new process's StopRequest unblocks
// them, so a signal sent in between is delivered there rather than lost or
// killing it with the default action. Every descriptor above 2 is made
// close-on-exec first, whoever opened it, except those in KEEPOPEN (the
// listening sockets of a server, which go on taking connections meanwhile).
// A stop request that came in before the signals were blocked wins: no exec.
// Failure modes: returns only when there was no exec: ECANCELED for a stop
// request, else the exec's errno; the signals are unblocked again.
#pragma once

#include <vector>

namespace locmail::host {

class StopRequest;

int RestartSelf(const StopRequest& stop, const std::vector<int>& keepOpen = {});

} // namespace locmail::host
