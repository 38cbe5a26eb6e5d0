// A small LMTP client for the tests of `locmail lmtp`: raw lines out, reply
// lines in, every wait bounded by a deadline so a broken server fails the test
// instead of hanging it.
#pragma once

#include "suite/platform/UniqueFd.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class LmtpClient {
public:
    // Connects to the Unix socket PATH, or to 127.0.0.1:PORT when PORT is not 0,
    // trying again until the server listens (at most 20 s); then reads the greeting.
    explicit LmtpClient(const std::string& path, int port = 0);
    bool Connected() const { return static_cast<bool>(fd_); }
    void Send(std::string_view bytes);
    // The next N reply lines ("250-PIPELINING" counts as one); "" for each one
    // that does not come within 60 s or before the server closes.
    std::vector<std::string> Replies(std::size_t n);
    void Close() { fd_.reset(); }

private:
    locmail::UniqueFd fd_;
    std::string in_;
};

// A port of 127.0.0.1 that nothing listens on now.
int FreeLoopbackPort();

} // namespace testsupport
