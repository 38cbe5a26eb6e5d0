// locmail queue rm|hold|release ID and locmail queue flush: the operator's
// changes to the queue, made through the queue library so that a delivery run
// of any process keeps the entries it has in hand.
#include "host/Commands.h"
#include "host/InstallationOwner.h"
#include "host/QueueArgument.h"
#include "host/Settings.h"
#include "suite/mq/HoldArea.h"
#include "suite/mq/OperatorActions.h"
#include "suite/mq/QueueLayout.h"

#include <sysexits.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Queue";

// EX_OK with the settings, as the installation's owner and with the log open.
int PrepareChange(Settings& settings)
{
    if (int status = LoadSettings(settings); status != EX_OK)
        return status;
    if (int status = ActAsInstallationOwner(settings); status != EX_OK)
        return status;
    OpenLog(settings);
    return EX_OK;
}

int StatusFor(const mq::OperatorResult& result, const std::string& what)
{
    if (result.ok)
        return EX_OK;
    Complain("cannot " + what + ": " + result.fault);
    if (result.notFound)
        return EX_NOINPUT;
    return result.busy ? EX_TEMPFAIL : EX_UNAVAILABLE;
}

// What every change of one entry starts with: a well-formed id, the settings, the owner, the log.
template <typename Change>
int ChangeEntry(const std::string& idText, Change change)
{
    auto id = QueueIdArgument(idText);
    if (!id)
        return EX_USAGE;
    Settings settings;
    if (int status = PrepareChange(settings); status != EX_OK)
        return status;
    return change(mq::QueuePaths(settings.queueDir), *id);
}

} // namespace

int RunQueueRelease(const std::string& idText)
{
    return ChangeEntry(idText, [&](const mq::QueuePaths& paths, uint32_t id) {
        mq::ReleaseResult result = mq::ReleaseHeldEntry(paths, kModule, id);
        if (!result.ok) {
            Complain("cannot release " + idText + ": " + result.fault);
            return EX_UNAVAILABLE;
        }
        std::printf("%08X released; the next delivery run takes it\n", id);
        return EX_OK;
    });
}

int RunQueueRemove(const std::string& idText)
{
    return ChangeEntry(idText, [&](const mq::QueuePaths& paths, uint32_t id) {
        if (int status = StatusFor(mq::RemoveEntry(paths, kModule, id), "remove " + idText); status != EX_OK)
            return status;
        std::printf("%08X removed from the queue\n", id);
        return EX_OK;
    });
}

int RunQueueHold(const std::string& idText)
{
    return ChangeEntry(idText, [&](const mq::QueuePaths& paths, uint32_t id) {
        auto result = mq::HoldQueuedEntry(paths, kModule, id, "held by the operator");
        if (int status = StatusFor(result, "hold " + idText); status != EX_OK)
            return status;
        std::printf("%08X held; `locmail queue release %08X` puts it back\n", id, id);
        return EX_OK;
    });
}

int RunQueueFlush()
{
    Settings settings;
    if (int status = PrepareChange(settings); status != EX_OK)
        return status;
    auto result = mq::MakeDeferralsDue(mq::QueuePaths(settings.queueDir), kModule, std::time(nullptr));
    for (const auto& fault : result.faults)
        Complain(fault);
    if (!result.readable)
        return EX_UNAVAILABLE;
    std::printf("%u deferred message(s) made due now\n", result.madeDue);
    return result.faults.empty() ? EX_OK : EX_IOERR;
}

} // namespace locmail::host
