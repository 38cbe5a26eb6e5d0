// SIGHUP as a request to open the log file again: after a rotation renamed it,
// the next lines go to a new file by the configured name, and none is lost.
//
// Contract: one LogReopenRequest per process, made by `run` and `relay`. The
// handler only sets an async-signal-safe flag; ReopenIfRequested, called by the
// main thread between two messages, opens the file. HoldLogReopenSignal blocks
// SIGHUP until the request exists, so one sent during start-up is honoured
// rather than ending the process (a restart also keeps it blocked across exec).
// Failure modes: the constructor throws std::system_error when the handler
// cannot be set; a file that cannot be opened again leaves the log where it
// was, with a line that says so.
#pragma once

namespace locmail::host {

void HoldLogReopenSignal();

class LogReopenRequest {
public:
    LogReopenRequest();
    ~LogReopenRequest(); // default disposition back
    LogReopenRequest(const LogReopenRequest&) = delete;
    LogReopenRequest& operator=(const LogReopenRequest&) = delete;

    // Opens the log file again when SIGHUP came since the last call.
    void ReopenIfRequested() const;
};

} // namespace locmail::host
