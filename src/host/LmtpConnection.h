// One LMTP client's socket as lines in and replies out, with the limits a
// server must keep against slow or broken clients.
//
// Contract: ReadLine gives the next line without its line end (LF, or CR LF);
// replies are buffered by Reply and sent (Flush) whenever ReadLine would have
// to wait for the client, so pipelined commands get their replies in one
// write. A line longer than MAXLENGTH is read to its end and reported as
// TooLong without its text (MAXLENGTH 0: no limit). Waiting longer than the
// timeout for a byte, or for the client to take the replies, gives Timeout;
// the end of the stream or a socket error gives Closed. With a CLOSINGFD that
// is readable (the server is stopping), a wait for a new command gives
// Closing instead of blocking; lines already received are read first.
// Failure modes: none thrown but std::bad_alloc; send errors make the next
// ReadLine report Closed.
#pragma once

#include "suite/platform/UniqueFd.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace locmail::host {

class LmtpConnection {
public:
    enum class Read { Line, TooLong, Timeout, Closed, Closing };

    LmtpConnection(UniqueFd socket, int timeoutSeconds);

    Read ReadLine(std::string& line, std::size_t maxLength, int closingFd = -1);
    void Reply(std::string_view line);
    bool Flush();

private:
    bool Fill(int closingFd, Read& why);

    UniqueFd socket_;
    int timeoutMs_;
    std::string in_;
    std::size_t start_ = 0; // first unread byte of in_
    std::string out_;
    bool broken_ = false;
};

} // namespace locmail::host
