// Internal to src/suite/cclient: the names of a body's type, subtype and
// transfer encoding as c-client spells them (upper case). Includes c-client,
// so the include-last rule of CClientApi.h applies.
#pragma once

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient::detail {

inline const char* TypeName(const BODY& body)
{
    const char* name = body.type <= TYPEMAX ? body_types[body.type] : nullptr;
    return name ? name : "X-UNKNOWN";
}

inline const char* SubtypeName(const BODY& body)
{
    const char* name = body.subtype ? body.subtype : rfc822_default_subtype(body.type);
    return name ? name : "X-UNKNOWN";
}

inline const char* EncodingName(const BODY& body)
{
    const char* name = body.encoding <= ENCMAX ? body_encodings[body.encoding] : nullptr;
    return name ? name : "X-UNKNOWN";
}

} // namespace locmail::cclient::detail
