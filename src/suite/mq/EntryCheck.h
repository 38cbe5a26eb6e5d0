// Checking a committed entry before it is handed out: both files present, an
// envelope that parses whole, and a text of exactly the size the envelope
// recorded at commit.
//
// Contract: CheckEntry only reads. When the entry is sound, ok is set and
// envelope holds the parsed envelope; otherwise fault says what is wrong in a
// few words ("message text is missing", "envelope line 3 is not valid",
// "message text is 10 bytes, the envelope records 25").
// Failure modes: faults are values; nothing throws but std::bad_alloc.
#pragma once

#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueLayout.h"

#include <cstdint>
#include <string>

namespace locmail::mq {

struct EntryCheck {
    bool ok = false;
    EnvelopeData envelope;
    std::string fault;
};

EntryCheck CheckEntry(const QueuePaths& paths, uint32_t id);

// Reads and parses entries/ID.env alone (no size check). A version-1 envelope
// gets its derived key and, as its arrival, the file's modification time.
ParsedEnvelope ReadEntryEnvelope(const QueuePaths& paths, uint32_t id);

} // namespace locmail::mq
