#include "suite/util/BounceMimeMessage.h"

#include "suite/vexclass/CLogging.h"
#include "suite/vexclass/CMimeMsgException.h"
#include "suite/vexclass/ReturnedMail.h"

#include <string>

namespace {

constexpr const char* kModule = "Utility";

} // namespace

int BounceMimeMessage(const char* queuePath, const _envFrom* from, const locmail::StringChain& reasons,
                      int /*reserved1*/, int /*reserved2*/)
{
    std::string reason;
    for (const locmail::StringLink* link = reasons.First(); link; link = link->next)
        reason += link->text;
    CLogging logger(kModule);
    try {
        locmail::mime::SendReturnedMail(logger, from, reason.c_str(), queuePath, {});
        return 0;
    } catch (const CMimeMsgException& e) {
        logger.PrintLog(1, e.GetLastErrorMsg());
        return e.GetLastError() != 0 ? e.GetLastError() : CMimeMsgException::kQueueFailure;
    }
}
