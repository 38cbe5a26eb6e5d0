// Where the header part of a message text ends.
//
// Contract: HeaderSize returns the number of bytes up to and including the first
// empty line: the line feed that follows another line feed with nothing but
// carriage returns between them (LF LF, LF CR LF, LF CR CR LF, ...). A text whose
// last line feed is followed by nothing but carriage returns is all header (its
// whole length). Anything else, the empty text included, has no header end: 0.
// Failure modes: none; a null TEXT counts as empty.
#pragma once

#include <cstdint>

namespace locmail::delivery {

uint32_t HeaderSize(const char* text, uint32_t length);

} // namespace locmail::delivery
