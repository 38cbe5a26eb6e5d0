// Setting a damaged entry aside: its files are moved (never deleted) into
// QUEUE/corrupt/, its markers are dropped from every channel, and one level-1
// line names the entry and the fault, for example
//   "Queue entry 0000002A is damaged (envelope: no end line (truncated)); moved to corrupt/".
//
// Contract: the files are moved before the markers go, so a crash in between
// leaves markers that the next walk drops with the same kind of line. A name
// already taken in corrupt/ gets a suffix ("0000002A-2.msg"), so nothing is
// overwritten.
// Failure modes: a file that cannot be moved stays where it is and the line
// says so; nothing throws but std::bad_alloc.
#pragma once

#include "suite/mq/QueueLayout.h"

#include <cstdint>
#include <string>

namespace locmail::mq {

// Removes ID's marker from every channel (missing ones are fine): an entry
// set aside, in corrupt/ or hold/, must not be walked.
void DropMarkers(const QueuePaths& paths, uint32_t id);

void QuarantineEntry(const QueuePaths& paths, const std::string& module, uint32_t id, const std::string& fault);

} // namespace locmail::mq
