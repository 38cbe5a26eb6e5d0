#include "suite/cclient/HeaderWriter.h"

#include <array>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

namespace {

// c-client's output sink: appends each flushed chunk to a std::string.
long AppendChunk(void* stream, char* chunk)
{
    static_cast<std::string*>(stream)->append(chunk);
    return LONGT;
}

} // namespace

std::string WriteHeader(const mail_envelope* envelope, const mail_bodystruct* body)
{
    std::string out;
    if (envelope == nullptr)
        return out;
    std::array<char, 8192> chunk;
    RFC822BUFFER buffer;
    buffer.f = AppendChunk;
    buffer.s = &out;
    buffer.beg = buffer.cur = chunk.data();
    buffer.end = chunk.data() + chunk.size() - 1; // the flush terminates the chunk
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
