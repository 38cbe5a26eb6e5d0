#include "suite/cclient/PartAccess.h"

#include <strings.h>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

std::string_view PartContents(const mail_bodystruct* part, std::string_view bodyText)
{
    if (part == nullptr)
        return {};
    unsigned long offset = part->contents.offset;
    unsigned long size = part->contents.text.size;
    if (offset > bodyText.size() || size > bodyText.size() - offset)
        return {};
    return bodyText.substr(offset, size);
}

std::string BodyParameter(const mail_bodystruct* body, std::string_view name)
{
    if (body == nullptr)
        return {};
    std::string wanted(name);
    for (const PARAMETER* p = body->parameter; p; p = p->next)
        if (p->attribute && p->value && ::strcasecmp(p->attribute, wanted.c_str()) == 0)
            return p->value;
    return {};
}

} // namespace locmail::cclient
