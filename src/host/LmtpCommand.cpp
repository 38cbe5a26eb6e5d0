// locmail lmtp [--socket PATH] [--listen HOST:PORT]: the LMTP front end for an
// MTA (LmtpSession.h), with its own delivery thread (LmtpDelivery.h), so it
// takes the place of `locmail run` as the service when LMTP is used.
//
// One thread per session, at most [Lmtp] MaxSessions at once: beyond that the
// server stops accepting until a session ends, and new clients wait in the
// listen backlog. SIGTERM or SIGINT: the sockets close, each session finishes
// its transaction and gets "421" before its next command, then the delivery
// thread ends after its message and lets its last batch go. SIGHUP opens the
// log again. After the agent's share of messages the server ends its sessions
// the same way but keeps its sockets open, and replaces itself (Restart.h)
// with a process that takes them over (named in LOCMAIL_LMTP_LISTENERS):
// clients wait in the backlog meanwhile, none is refused.
#include "host/Commands.h"
#include "host/LmtpDelivery.h"
#include "host/LmtpListener.h"
#include "host/LmtpOutcomes.h"
#include "host/LmtpSession.h"
#include "host/LogReopen.h"
#include "host/Restart.h"
#include "host/ServiceSignals.h"
#include "host/ServiceStart.h"
#include "host/StopRequest.h"
#include "suite/log/LogMessage.h"
#include "suite/mq/MQapi.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"
#include "suite/vexclass/HostName.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sysexits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Lmtp";
constexpr const char* kInheritedListeners = "LOCMAIL_LMTP_LISTENERS";

// The sessions running, and an eventfd that becomes readable when one ends.
class SessionSlots {
public:
    explicit SessionSlots(unsigned limit) : limit_(limit), freed_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    bool Free()
    {
        std::lock_guard lock(mutex_);
        return running_ < limit_;
    }
    int FreedFd() const { return freed_.get(); }
    void Drain()
    {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(freed_.get(), &count, sizeof count);
    }
    void Start(UniqueFd socket, const LmtpSessionContext& context)
    {
        {
            std::lock_guard lock(mutex_);
            ++running_;
        }
        ServiceSignalsHeld held; // for the main thread's wait
        std::thread([this, &context, fd = socket.release()] {
            RunLmtpSession(UniqueFd(fd), context);
            std::lock_guard lock(mutex_);
            --running_;
            const uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(freed_.get(), &one, sizeof one);
            ended_.notify_all(); // under the lock: WaitAll cannot return before this thread is done with us
        }).detach();
    }
    void WaitAll()
    {
        std::unique_lock lock(mutex_);
        ended_.wait(lock, [&] { return running_ == 0; });
    }

private:
    const unsigned limit_;
    UniqueFd freed_;
    std::mutex mutex_;
    std::condition_variable ended_;
    unsigned running_ = 0;
};

// The board hears the agent's outcomes while it lives.
struct ListeningBoard {
    OutcomeBoard board;
    ListeningBoard() { delivery::SetOutcomeListener(&board); }
    ~ListeningBoard() { delivery::SetOutcomeListener(nullptr); }
    ListeningBoard(const ListeningBoard&) = delete;
    ListeningBoard& operator=(const ListeningBoard&) = delete;
};

struct Server {
    std::vector<UniqueFd> listeners;
    UniqueFd closing; // an eventfd, readable once the server stops
};

void AcceptFrom(int listener, SessionSlots& slots, const LmtpSessionContext& context)
{
    while (slots.Free()) {
        UniqueFd client(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
        if (!client) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
                LogMessage(2, kModule, "Cannot accept a connection: %s", std::strerror(errno));
            return;
        }
        slots.Start(std::move(client), context);
    }
}

// Until a stop request, or a restart that the delivery thread asks for.
void Serve(Server& server, const StopRequest& stop, const LogReopenRequest& logReopen, SessionSlots& slots,
           const LmtpSessionContext& context, const LmtpDelivery& delivery)
{
    while (!stop.Requested() && !delivery.RestartDue()) {
        logReopen.ReopenIfRequested();
        std::vector<pollfd> fds{
            {stop.WakeFd(), POLLIN, 0}, {delivery.RestartFd(), POLLIN, 0}, {slots.FreedFd(), POLLIN, 0}};
        if (slots.Free())
            for (const UniqueFd& fd : server.listeners)
                fds.push_back({fd.get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue; // EINTR: a signal, looked at above
        slots.Drain();
        for (std::size_t i = 3; i < fds.size(); ++i)
            if (fds[i].revents != 0)
                AcceptFrom(fds[i].fd, slots, context);
    }
}

// The listening sockets a restart handed over: "FD,FD"; none when not restarted or not sockets that listen.
std::vector<UniqueFd> InheritedListeners()
{
    std::vector<UniqueFd> listeners;
    const char* named = std::getenv(kInheritedListeners);
    if (named == nullptr)
        return listeners;
    std::string list(named);
    ::unsetenv(kInheritedListeners);
    for (std::size_t at = 0; at < list.size();) {
        std::size_t end = std::min(list.find(',', at), list.size());
        UniqueFd fd(std::atoi(list.substr(at, end - at).c_str()));
        int listening = 0;
        socklen_t size = sizeof listening;
        if (fd.get() <= 2 || ::getsockopt(fd.get(), SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 ||
            listening == 0) {
            (void)fd.release(); // not ours to close
            return {};
        }
        ::fcntl(fd.get(), F_SETFD, FD_CLOEXEC);
        listeners.push_back(std::move(fd));
        at = end + 1;
    }
    return listeners;
}

std::string SocketPath(const LmtpOptions& options, const Settings& settings)
{
    if (!options.socket.empty())
        return options.socket;
    std::string configured = config::ReadText(config::kLmtpSocket, config::kConfigFile);
    return configured.empty() ? PathJoin(settings.queueDir, "lmtp.sock") : configured;
}

int Listen(const LmtpOptions& options, const Settings& settings, Server& server)
{
    server.listeners = InheritedListeners();
    if (!server.listeners.empty())
        return EX_OK;
    std::string why;
    const std::string path = SocketPath(options, settings);
    server.listeners.push_back(ListenUnix(path, why));
    if (server.listeners.back() && !options.listen.empty())
        server.listeners.push_back(ListenTcp(options.listen, why));
    if (!server.listeners.back()) {
        Complain("cannot listen for LMTP: " + why);
        return EX_OSERR;
    }
    LogMessage(5, kModule, "LMTP server listens on %s%s%s", path.c_str(), options.listen.empty() ? "" : " and ",
               options.listen.c_str());
    return EX_OK;
}

// Replaces this process with one that takes over the sockets; returns only when there was no exec.
int RestartKeeping(const Server& server, const StopRequest& stop)
{
    std::vector<int> fds;
    std::string list;
    for (const UniqueFd& fd : server.listeners) {
        fds.push_back(fd.get());
        list += (list.empty() ? "" : ",") + std::to_string(fd.get());
    }
    LogMessage(5, kModule, "Restarting after the agent's share of messages");
    ::setenv(kInheritedListeners, list.c_str(), 1);
    const int error = RestartSelf(stop, fds);
    ::unsetenv(kInheritedListeners);
    if (error == ECANCELED)
        return EX_OK;
    LogMessage(1, kModule, "Cannot restart the LMTP server: %s", std::strerror(error));
    return EX_OSERR;
}

int NumberSetting(const config::NumberKey& key)
{
    return static_cast<int>(config::ReadNumber(key, config::kConfigFile));
}

} // namespace

int RunLmtp(const LmtpOptions& options)
{
    Settings settings;
    if (int status = StartService(settings); status != EX_OK)
        return status;
    if (!MQInit(settings.queueDir.c_str(), kModule)) {
        Complain("the queue in " + settings.queueDir + " cannot be used; see the log");
        return EX_CONFIG;
    }
    try {
        StopRequest stop;
        LogReopenRequest logReopen;
        Server server;
        server.closing = UniqueFd(::eventfd(0, EFD_CLOEXEC));
        if (int status = Listen(options, settings, server); status != EX_OK)
            return status;
        ListeningBoard listening;
        OutcomeBoard& board = listening.board;
        std::optional<LmtpDelivery> delivery;
        {
            ServiceSignalsHeld held; // for the main thread's wait
            delivery.emplace(settings.queueDir, board);
        }
        LmtpSessionContext context;
        context.hostName = LocalHostName();
        context.storeHome = settings.storeHome;
        context.maxMessageBytes = static_cast<std::size_t>(std::max(1, NumberSetting(config::kLmtpMaxMessageBytes)));
        context.timeoutSeconds = NumberSetting(config::kLmtpTimeoutSeconds);
        context.outcomeWait = std::chrono::seconds(std::max(30, context.timeoutSeconds));
        context.board = &board;
        context.wakeDelivery = [&delivery] { delivery->Wake(); };
        context.closingFd = server.closing.get();
        SessionSlots slots(static_cast<unsigned>(std::max(1, NumberSetting(config::kLmtpMaxSessions))));

        Serve(server, stop, logReopen, slots, context, *delivery);
        const bool restart = !stop.Requested();
        LogMessage(5, kModule, "LMTP server stops: sessions finish their transactions");
        if (!restart)
            server.listeners.clear();
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(server.closing.get(), &one, sizeof one);
        slots.WaitAll();
        board.Close();
        delivery->Stop();
        if (restart)
            return RestartKeeping(server, stop);
        LogMessage(5, kModule, "LMTP server ends");
        return EX_OK;
    }
    catch (const std::exception& e) {
        Complain(std::string("cannot run the LMTP server: ") + e.what());
        return EX_OSERR;
    }
}

} // namespace locmail::host
