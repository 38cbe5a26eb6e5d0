#include "suite/cclient/StringSink.h"

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient::detail {
namespace {

long AppendChunk(void* stream, char* chunk)
{
    static_cast<std::string*>(stream)->append(chunk);
    return LONGT;
}

} // namespace

void SinkIntoString(rfc822buffer& buffer, std::span<char> chunk, std::string& out)
{
    buffer.f = AppendChunk;
    buffer.s = &out;
    buffer.beg = buffer.cur = chunk.data();
    buffer.end = chunk.data() + chunk.size() - 1; // the flush terminates the chunk
}

} // namespace locmail::cclient::detail
