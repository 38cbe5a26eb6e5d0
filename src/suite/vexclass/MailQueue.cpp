#include "suite/vexclass/MailQueue.h"

#include "suite/mq/QueueText.h"
#include "suite/vexclass/CMimeMsgException.h"

namespace locmail::mime {

uint32_t QueueMail(const std::string& text, const std::string& reversePath,
                   const std::vector<std::string>& recipients)
{
    mq::QueuedText queued = mq::QueueText(text, reversePath, recipients, kOutgoingChannel);
    if (queued.id == 0)
        throw CMimeMsgException(CMimeMsgException::kQueueFailure, ("Cannot queue mail: " + queued.fault).c_str());
    return queued.id;
}

} // namespace locmail::mime
