#include "host/LmtpListener.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace locmail::host {
namespace {

constexpr int kBacklog = 4096;

UniqueFd Failed(std::string& why, const std::string& what)
{
    why = what + ": " + std::strerror(errno);
    return UniqueFd();
}

struct AddressInfoFree {
    void operator()(addrinfo* info) const noexcept { ::freeaddrinfo(info); }
};

} // namespace

UniqueFd ListenUnix(const std::string& path, std::string& why)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        why = "the socket path '" + path + "' is empty or too long";
        return UniqueFd();
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            why = path + " exists and is not a socket";
            return UniqueFd();
        }
        ::unlink(path.c_str());
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd)
        return Failed(why, "socket");
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return Failed(why, "cannot bind " + path);
    if (::chmod(path.c_str(), 0660) != 0 || ::listen(fd.get(), kBacklog) != 0)
        return Failed(why, "cannot listen on " + path);
    return fd;
}

UniqueFd ListenTcp(const std::string& hostPort, std::string& why)
{
    std::size_t colon = hostPort.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size()) {
        why = "'" + hostPort + "' is not HOST:PORT";
        return UniqueFd();
    }
    std::string host = hostPort.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (int error = ::getaddrinfo(host.c_str(), hostPort.c_str() + colon + 1, &hints, &found); error != 0) {
        why = "cannot resolve " + hostPort + ": " + ::gai_strerror(error);
        return UniqueFd();
    }
    std::unique_ptr<addrinfo, AddressInfoFree> owner(found);
    UniqueFd fd(::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, found->ai_protocol));
    if (!fd)
        return Failed(why, "socket");
    int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd.get(), found->ai_addr, found->ai_addrlen) != 0)
        return Failed(why, "cannot bind " + hostPort);
    if (::listen(fd.get(), kBacklog) != 0)
        return Failed(why, "cannot listen on " + hostPort);
    return fd;
}

} // namespace locmail::host
