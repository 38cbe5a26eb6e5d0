// locmail inject -f SENDER RCPT...: queues the message on standard input for the
// local recipients, as the mail server hands mail to local delivery.
#include "host/Commands.h"
#include "host/InstallationOwner.h"
#include "host/MessageInput.h"
#include "host/Settings.h"
#include "suite/log/LogMessage.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/QueueText.h"
#include "suite/platform/Files.h"

#include <sysexits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Queue";
constexpr const char* kChannel = "local";

int CheckAddresses(const InjectOptions& options)
{
    if (auto problem = AddressProblem(options.sender, true); !problem.empty()) {
        Complain("sender '" + options.sender + "': " + problem);
        return EX_DATAERR;
    }
    for (const auto& rcpt : options.recipients) {
        if (auto problem = AddressProblem(rcpt, false); !problem.empty()) {
            Complain("recipient '" + rcpt + "': " + problem);
            return EX_DATAERR;
        }
    }
    return EX_OK;
}

int Queue(const Settings& settings, const InjectOptions& options, const std::string& text)
{
    if (!MQInit(settings.queueDir.c_str(), kModule)) {
        Complain("the queue in " + settings.queueDir + " cannot be used; see the log, or run `locmail init`");
        return EX_TEMPFAIL;
    }
    const std::string sender = IsNullSender(options.sender) ? std::string() : options.sender;
    mq::QueuedText queued = mq::QueueText(text, sender, options.recipients, kChannel);
    if (queued.id == 0) {
        Complain("cannot queue the message: " + queued.fault + "; see the log");
        return EX_TEMPFAIL;
    }
    LogMessage(5, kModule, "queued <%08X> from <%s> for %zu recipient(s), %zu bytes", queued.id, sender.c_str(),
               options.recipients.size(), text.size());
    if (std::memchr(text.data(), '\0', text.size()))
        LogMessage(2, kModule, "queued <%08X> contains NUL bytes", queued.id);
    return EX_OK;
}

} // namespace

int RunInject(const InjectOptions& options)
{
    if (int status = CheckAddresses(options); status != EX_OK)
        return status;
    // The mail server calling us bounces the message on anything but 75, so every fault
    // of this installation (settings, owner, queue, disk) asks it to try again later.
    Settings settings;
    if (LoadSettings(settings) != EX_OK || ActAsInstallationOwner(settings) != EX_OK)
        return EX_TEMPFAIL;
    OpenLog(settings);

    std::string raw;
    if (!ReadAllFrom(STDIN_FILENO, raw)) {
        Complain(std::string("cannot read the message from standard input: ") + std::strerror(errno));
        return EX_TEMPFAIL;
    }
    if (raw.empty()) {
        Complain("no message on standard input; nothing was queued");
        return EX_DATAERR;
    }
    std::string text = ToCrlfLines(raw);
    if (auto problem = MessageShapeProblem(text); !problem.empty()) {
        Complain("the message cannot be delivered: " + problem + "; nothing was queued");
        return EX_DATAERR;
    }
    return Queue(settings, options, text);
}

} // namespace locmail::host
