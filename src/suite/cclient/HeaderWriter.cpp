#include "suite/cclient/HeaderWriter.h"

#include "suite/cclient/StringSink.h"

#include <array>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

std::string WriteHeader(const mail_envelope* envelope, const mail_bodystruct* body)
{
    std::string out;
    if (envelope == nullptr)
        return out;
    std::array<char, 8192> chunk;
    RFC822BUFFER buffer;
    detail::SinkIntoString(buffer, chunk, out);
    // The output functions take non-const pointers but only read the structures.
    auto* env = const_cast<ENVELOPE*>(envelope);
    auto* bdy = const_cast<BODY*>(body);
    {
        auto lock = detail::LockLibrary();
        rfc822_output_header(&buffer, env, bdy, NIL, NIL);
        rfc822_output_flush(&buffer);
    }
    return out;
}

} // namespace locmail::cclient
