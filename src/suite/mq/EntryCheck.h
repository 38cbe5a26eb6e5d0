// Checking a committed entry before it is handed out: both files present, an
// envelope that parses whole, and a text of exactly the size the envelope
// recorded at commit.
//
// Contract: CheckEntry only reads. When the entry is sound, ok is set and
// envelope holds the parsed envelope; otherwise fault says what is wrong in a
// few words ("message text is missing", "envelope line 3 is not valid",
// "message text is 10 bytes, the envelope records 25"). A file that cannot be
// read for a reason that may pass (any errno but ENOENT: EMFILE, ENOMEM, EIO)
// is no damage: readError holds that errno and fault says so, and the entry
// must stay where it is.
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
    int readError = 0;
};

EntryCheck CheckEntry(const QueuePaths& paths, uint32_t id);

// Reads and parses entries/ID.env alone (no size check). A version-1 envelope
// gets its derived key and, as its arrival, the file's modification time.
ParsedEnvelope ReadEntryEnvelope(const QueuePaths& paths, uint32_t id);
// The same for the envelope of entry ID at PATH (hold/ID.env).
ParsedEnvelope ReadEnvelopeFile(const std::string& path, uint32_t id);

} // namespace locmail::mq
