#include "suite/cclient/Owners.h"

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

void EnvelopeFree::operator()(mail_envelope* envelope) const noexcept
{
    // c-client frees through a pointer to the pointer; a copy serves.
    if (envelope)
        mail_free_envelope(&envelope);
}

void BodyFree::operator()(mail_bodystruct* body) const noexcept
{
    if (body)
        mail_free_body(&body);
}

void FreeEnvelope(mail_envelope*& envelope) noexcept
{
    if (envelope)
        mail_free_envelope(&envelope);
    envelope = nullptr;
}

void FreeBody(mail_bodystruct*& body) noexcept
{
    if (body)
        mail_free_body(&body);
    body = nullptr;
}

} // namespace locmail::cclient
