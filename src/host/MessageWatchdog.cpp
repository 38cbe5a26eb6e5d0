#include "host/MessageWatchdog.h"

#include "suite/platform/ConfigKeys.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>

namespace locmail::host {
namespace {

constexpr char kExpired[] = "locmail: a message took longer than [Queue] MessageTimeoutSeconds; ending the process "
                            "so that the queue counts it against the message\n";

extern "C" void OnExpiry(int)
{
    (void)!::write(STDERR_FILENO, kExpired, sizeof kExpired - 1);
    ::signal(SIGALRM, SIG_DFL);
    ::raise(SIGALRM);
}

} // namespace

MessageWatchdog::MessageWatchdog()
{
    const int seconds = static_cast<int>(config::ReadNumber(config::kMessageTimeoutSeconds));
    seconds_ = static_cast<unsigned>(std::max(seconds, 0));
    if (seconds_ == 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnExpiry;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);
}

MessageWatchdog::~MessageWatchdog() { Disarm(); }

void MessageWatchdog::Arm()
{
    if (seconds_ != 0)
        ::alarm(seconds_);
}

void MessageWatchdog::Disarm() { ::alarm(0); }

} // namespace locmail::host
