#include "suite/cclient/Accessors.h"

#include <cctype>

#include "suite/cclient/BodyNames.h"

namespace locmail::cclient {

namespace {

const PART* FirstPart(const BODY* body)
{
    return body && body->type == TYPEMULTIPART ? body->nested.part : nullptr;
}

} // namespace

const char* EnvelopeDate(const mail_envelope* envelope)
{
    return envelope ? reinterpret_cast<const char*>(envelope->date) : nullptr;
}

const char* EnvelopeSubject(const mail_envelope* envelope) { return envelope ? envelope->subject : nullptr; }

const char* EnvelopeMessageId(const mail_envelope* envelope) { return envelope ? envelope->message_id : nullptr; }
const char* EnvelopeReferences(const mail_envelope* envelope) { return envelope ? envelope->references : nullptr; }

std::string EnvelopeFromAddress(const mail_envelope* envelope)
{
    const ADDRESS* from = envelope ? envelope->from : nullptr;
    if (from == nullptr || from->mailbox == nullptr)
        return {};
    std::string address(from->mailbox);
    if (from->host) {
        address += '@';
        address += from->host;
    }
    return address;
}

std::string BodyType(const mail_bodystruct* body)
{
    if (body == nullptr)
        return {};
    std::string type = std::string(detail::TypeName(*body)) + "/" + detail::SubtypeName(*body);
    for (char& c : type)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return type;
}

std::size_t BodyPartCount(const mail_bodystruct* body)
{
    std::size_t count = 0;
    for (const PART* part = FirstPart(body); part; part = part->next)
        ++count;
    return count;
}

const mail_bodystruct* BodyPart(const mail_bodystruct* body, std::size_t index)
{
    const PART* part = FirstPart(body);
    for (; part && index > 0; --index)
        part = part->next;
    return part ? &part->body : nullptr;
}

} // namespace locmail::cclient
