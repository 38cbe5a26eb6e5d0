#include "delivery/InvalidRecipientPolicy.h"

#include "suite/platform/Profile.h"

#include <strings.h>

namespace locmail::delivery {

InvalidRecipientPolicy ReadInvalidRecipientPolicy()
{
    char value[256];
    GetPrivateProfileStringA("Options", "MailForInvalidLocalUser", "Bounce", value, sizeof value, "qxmta.ini");
    if (strcasecmp(value, "Postmaster") == 0)
        return InvalidRecipientPolicy::Postmaster;
    if (strcasecmp(value, "Delete") == 0)
        return InvalidRecipientPolicy::Delete;
    return InvalidRecipientPolicy::Bounce;
}

} // namespace locmail::delivery
