// Internal to src/suite/cclient: c-client's output buffer (RFC822BUFFER) set
// up to collect what c-client writes in a std::string.
//
// Contract: SinkIntoString points BUFFER at CHUNK and makes every flush
// (c-client's own when the chunk is full, or rfc822_output_flush) append the
// text written so far to OUT. CHUNK and OUT must outlive the use of BUFFER;
// the caller holds the library lock while c-client writes.
// Failure modes: none of its own; a failed append throws std::bad_alloc.
#pragma once

#include <span>
#include <string>

struct rfc822buffer;

namespace locmail::cclient::detail {

void SinkIntoString(rfc822buffer& buffer, std::span<char> chunk, std::string& out);

} // namespace locmail::cclient::detail
