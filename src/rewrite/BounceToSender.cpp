#include "rewrite/BounceToSender.h"

#include "suite/mq/Envelope.h"
#include "suite/util/BounceMimeMessage.h"
#include "suite/util/StringChain.h"

#include <new>
#include <string>

namespace locmail::rewrite {

bool BounceToSender(const char* sender, const char* messagePath, const char* reason)
{
    if (messagePath == nullptr)
        return false;
    std::string queuePath;
    std::string address;
    try {
        queuePath = messagePath;
        if (sender != nullptr)
            address = sender;
    } catch (const std::bad_alloc&) {
        return false;
    }
    locmail::StringChain reasons;
    if (appendString(reasons, reason) == 0)
        return false;
    if (const auto dot = queuePath.rfind('.'); dot != std::string::npos)
        queuePath.resize(dot);

    char empty[] = "";
    char kind[] = "DSN";
    const _envFrom record{sender != nullptr ? address.data() : nullptr, empty, locmail::mq::kReturnedMailFlag, 0, empty, kind};
    const int result = BounceMimeMessage(queuePath.c_str(), &record, reasons, 0, 0);
    freeStringChain(reasons);
    return result == 0;
}

} // namespace locmail::rewrite
