// Where the header of a queued message ends, as the agent loads it.
//
// Contract: QueuedHeaderSize returns the number of bytes up to and including
// the first empty line: the line feed that follows another line feed with
// nothing but carriage returns between them (LF LF, LF CR LF, LF CR CR LF, ...).
// A text whose last line feed is followed by nothing but carriage returns is
// all header (its whole length). Anything else, the empty text included, has
// no header end: 0.
// This is the agent's documented loading rule, and it differs on purpose from
// the store's rule for a filed message (suite/msgstore/HeaderSplit.h): a
// queued text is taken as received, whatever its line ends, and the size found
// here is what the agent parses and records. `locmail inject` and `locmail
// explain` apply this same rule, since they speak for the agent.
// Failure modes: none; a null TEXT counts as empty.
#pragma once

#include <cstdint>

namespace locmail::delivery {

uint32_t QueuedHeaderSize(const char* text, uint32_t length);

} // namespace locmail::delivery
