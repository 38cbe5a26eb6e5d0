// Owners for c-client's parsed envelope (ENVELOPE) and MIME body structure (BODY).
//
// Contract: EnvelopePtr and BodyPtr release through mail_free_envelope and
// mail_free_body, which free the whole tree (addresses, parameters, nested parts
// and encapsulated messages). FreeEnvelope and FreeBody do the same for a raw
// member that the data model keeps as a plain pointer, and null it; a null
// pointer is left alone.
//
// Failure modes: none; releasing cannot fail.
#pragma once

#include <memory>

struct mail_envelope;
struct mail_bodystruct;

namespace locmail::cclient {

struct EnvelopeFree {
    void operator()(mail_envelope* envelope) const noexcept;
};

struct BodyFree {
    void operator()(mail_bodystruct* body) const noexcept;
};

using EnvelopePtr = std::unique_ptr<mail_envelope, EnvelopeFree>;
using BodyPtr = std::unique_ptr<mail_bodystruct, BodyFree>;

void FreeEnvelope(mail_envelope*& envelope) noexcept;
void FreeBody(mail_bodystruct*& body) noexcept;

} // namespace locmail::cclient
