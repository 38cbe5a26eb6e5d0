#include "host/ServiceStart.h"

#include "host/InstallationOwner.h"
#include "suite/mq/QueueLayout.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/platform/Files.h"

#include <sys/resource.h>
#include <sysexits.h>

namespace locmail::host {
namespace {

// Each user's relations stay open between messages: one process may hold many.
void RaiseFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// A queue or store that `locmail init` did not make is a configuration error:
// the run must never make or use one in the wrong place. A store home that is
// not there at all may be a file system not mounted yet: an outage.
int CheckInstallation(const Settings& settings)
{
    const std::string fix = "; check " + settings.configFile + " or run `locmail init DIR`";
    if (!IsAbsoluteBelowRoot(settings.queueDir)) {
        Complain("the queue directory '" + settings.queueDir +
                 "' ([Gateway] QueueDirectory) must be an absolute path below /" + fix);
        return EX_CONFIG;
    }
    if (std::string fault = mq::CheckQueueLayout(settings.queueDir); !fault.empty()) {
        Complain("the queue in " + settings.queueDir + " cannot be used: " + fault + fix);
        return EX_CONFIG;
    }
    if (!settings.storeHome.empty() && IsAbsoluteBelowRoot(settings.storeHome) && !FileExists(settings.storeHome)) {
        Complain("no message store at " + settings.storeHome + " ([MsgStore] HomeDir; not mounted?)" + fix);
        return EX_TEMPFAIL;
    }
    if (std::string fault = msgstore::StoreHomeFault(settings.storeHome); !fault.empty()) {
        Complain(fault + fix);
        return EX_CONFIG;
    }
    return EX_OK;
}

} // namespace

int StartService(Settings& settings)
{
    if (int status = LoadSettings(settings); status != EX_OK)
        return status;
    if (int status = ActAsInstallationOwner(settings); status != EX_OK)
        return status;
    if (int status = CheckInstallation(settings); status != EX_OK)
        return status;
    OpenLog(settings);
    RaiseFileLimit();
    return EX_OK;
}

} // namespace locmail::host
