#include "integration/LmtpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

locmail::UniqueFd Dial(const std::string& path, int port)
{
    locmail::UniqueFd fd(::socket(port != 0 ? AF_INET : AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_storage address{};
    socklen_t size = 0;
    if (port != 0) {
        auto* in = reinterpret_cast<sockaddr_in*>(&address);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<uint16_t>(port));
        in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        size = sizeof(sockaddr_in);
    }
    else {
        auto* un = reinterpret_cast<sockaddr_un*>(&address);
        un->sun_family = AF_UNIX;
        std::strncpy(un->sun_path, path.c_str(), sizeof un->sun_path - 1);
        size = sizeof(sockaddr_un);
    }
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), size) != 0)
        fd.reset();
    return fd;
}

} // namespace

LmtpClient::LmtpClient(const std::string& path, int port)
{
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!(fd_ = Dial(path, port)) && Clock::now() < deadline) {
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 10); // the server is starting: its socket is not there yet
    }
    if (fd_ && Replies(1).at(0).rfind("220 ", 0) != 0)
        fd_.reset();
}

void LmtpClient::Send(std::string_view bytes)
{
    while (fd_ && !bytes.empty()) {
        ssize_t n = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return fd_.reset();
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::vector<std::string> LmtpClient::Replies(std::size_t n)
{
    std::vector<std::string> lines;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (lines.size() < n) {
        std::size_t end = in_.find("\r\n");
        if (end != std::string::npos) {
            lines.push_back(in_.substr(0, end));
            in_.erase(0, end + 2);
            continue;
        }
        pollfd readable{fd_.get(), POLLIN, 0};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        char buffer[4096];
        ssize_t got = fd_ && left > 0 && ::poll(&readable, 1, static_cast<int>(left)) > 0
                          ? ::recv(fd_.get(), buffer, sizeof buffer, 0)
                          : 0;
        if (got <= 0) {
            lines.resize(n);
            break;
        }
        in_.append(buffer, static_cast<std::size_t>(got));
    }
    return lines;
}

int FreeLoopbackPort()
{
    locmail::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

} // namespace testsupport
