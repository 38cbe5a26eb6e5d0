#include "host/LogReopen.h"

#include "suite/log/LogMessage.h"

#include <signal.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace locmail::host {
namespace {

volatile sig_atomic_t g_reopen = 0;

extern "C" void OnReopenSignal(int) { g_reopen = 1; }

void SetHandler(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART; // a rotation must not fail a read or write in progress
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGHUP, &action, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "sigaction SIGHUP");
}

void ChangeMask(int how)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGHUP);
    ::sigprocmask(how, &set, nullptr);
}

} // namespace

void HoldLogReopenSignal() { ChangeMask(SIG_BLOCK); }

LogReopenRequest::LogReopenRequest()
{
    SetHandler(OnReopenSignal);
    ChangeMask(SIG_UNBLOCK);
}

LogReopenRequest::~LogReopenRequest()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGHUP, &action, nullptr);
}

void LogReopenRequest::ReopenIfRequested() const
{
    if (g_reopen == 0)
        return;
    g_reopen = 0;
    if (!log::ReopenLogFile())
        LogMessage(1, "Log", "Cannot open the log file again after SIGHUP (%s); writing on to the old one",
                   std::strerror(errno));
}

} // namespace locmail::host
