// Where a message the store files splits into header and body: the store's
// one header-end rule, for the agent's own filing routine (FileMessage) and
// for the store library's filings alike (CMsgStore, when its caller gives no
// status record).
//
// The search looks for the first CR LF CR LF at the offsets where more than
// four bytes remain (0 to size - 5) and stops at a NUL byte. Found at offset
// p: the header size is p + 2 (the header keeps the CR LF of its last line)
// and the body is everything from p + 2 (it starts with the CR LF of the
// empty line). Not found: the header size is the offset where the search
// stopped and the body is empty.
//
// The agent's loading of a queued message documents another rule
// (delivery/QueuedHeaderSize.h: bare line feeds count, the empty line is part
// of the header, a NUL does not stop it). Both are kept as documented, since
// each size is read back by its own side: the loaded size goes to the parser
// and the status record of a queued delivery, this one to the records of a
// filed message file, which is in CR LF form.
//
// What the parser is given when nothing was found is ours to choose: the text
// before the NUL that stopped the search, or else the whole text, so that a
// message without an empty line (or whose empty line is its last four bytes)
// still has all of its fields parsed.
//
// Failure modes: none; a pure function over any bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace locmail::msgstore {

struct HeaderSplit {
    std::size_t headerSize = 0;  // what the status record keeps
    std::size_t parseLength = 0; // header bytes handed to the parser
    std::size_t bodyOffset = 0;
    std::size_t bodyLength = 0;
};

HeaderSplit SplitFiledHeader(std::string_view text);

} // namespace locmail::msgstore
