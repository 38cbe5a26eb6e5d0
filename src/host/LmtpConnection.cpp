#include "host/LmtpConnection.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace locmail::host {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

} // namespace

LmtpConnection::LmtpConnection(UniqueFd socket, int timeoutSeconds)
    : socket_(std::move(socket)), timeoutMs_(timeoutSeconds > 0 ? timeoutSeconds * 1000 : -1)
{
}

void LmtpConnection::Reply(std::string_view line)
{
    out_ += line;
    out_ += "\r\n";
}

bool LmtpConnection::Flush()
{
    std::size_t sent = 0;
    while (!broken_ && sent < out_.size()) {
        ssize_t n = ::send(socket_.get(), out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        pollfd writable{socket_.get(), POLLOUT, 0};
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ::poll(&writable, 1, timeoutMs_) > 0)
            continue;
        broken_ = true;
    }
    out_.clear();
    return !broken_;
}

// Reads more input, first sending the replies the client is waiting for.
bool LmtpConnection::Fill(int closingFd, Read& why)
{
    if (!Flush()) {
        why = Read::Closed;
        return false;
    }
    if (start_ > 0) {
        in_.erase(0, start_);
        start_ = 0;
    }
    for (;;) {
        pollfd fds[2] = {{socket_.get(), POLLIN, 0}, {closingFd, POLLIN, 0}};
        int ready = ::poll(fds, closingFd >= 0 ? 2 : 1, timeoutMs_);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            why = Read::Timeout;
            return false;
        }
        if (ready < 0) {
            why = Read::Closed;
            return false;
        }
        if (fds[0].revents == 0 && closingFd >= 0 && fds[1].revents != 0) {
            why = Read::Closing;
            return false;
        }
        std::size_t had = in_.size();
        in_.resize(had + kReadChunk);
        ssize_t n = ::recv(socket_.get(), in_.data() + had, kReadChunk, 0);
        in_.resize(had + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n > 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        why = Read::Closed;
        return false;
    }
}

LmtpConnection::Read LmtpConnection::ReadLine(std::string& line, std::size_t maxLength, int closingFd)
{
    bool tooLong = false;
    line.clear();
    for (;;) {
        std::size_t end = in_.find('\n', start_);
        std::size_t last = end == std::string::npos ? in_.size() : end;
        if (!tooLong)
            line.append(in_, start_, last - start_);
        start_ = end == std::string::npos ? in_.size() : end + 1;
        if (maxLength != 0 && line.size() > maxLength + 1) {
            tooLong = true;
            line.clear();
        }
        if (end != std::string::npos)
            break;
        Read why{};
        // Only a wait for a new command may be cut short by a stopping server.
        if (!Fill(line.empty() && !tooLong ? closingFd : -1, why))
            return why;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (tooLong || (maxLength != 0 && line.size() > maxLength))
        return Read::TooLong;
    return Read::Line;
}

} // namespace locmail::host
