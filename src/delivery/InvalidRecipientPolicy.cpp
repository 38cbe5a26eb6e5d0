#include "delivery/InvalidRecipientPolicy.h"

#include "suite/platform/ConfigKeys.h"

#include <strings.h>

namespace locmail::delivery {

InvalidRecipientPolicy ReadInvalidRecipientPolicy()
{
    const std::string value = config::ReadText(config::kInvalidLocalUser);
    if (strcasecmp(value.c_str(), "Postmaster") == 0)
        return InvalidRecipientPolicy::Postmaster;
    if (strcasecmp(value.c_str(), "Delete") == 0)
        return InvalidRecipientPolicy::Delete;
    return InvalidRecipientPolicy::Bounce;
}

} // namespace locmail::delivery
