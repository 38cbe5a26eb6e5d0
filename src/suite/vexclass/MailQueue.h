// Handing a composed message to the message queue on the channel "localout",
// the way every mail the shared classes make leaves this process.
//
// Contract: QueueMail creates an entry, writes TEXT as the entry's message
// file, routes it to "localout" (priority 255), stores an envelope of one
// sender record (REVERSEPATH; "" is the null reverse path) and one recipient
// record per item of RECIPIENTS, all on "localout", and commits. Returns the
// new entry's id. A step that fails before the commit discards the entry, so
// nothing half-built stays in the queue. MQInit must have succeeded in this
// process (the queue library keeps its directory process-wide).
// Failure modes: throws CMimeMsgException (kQueueFailure) when the queue is
// not initialised, an entry cannot be created, written, routed, given its
// envelope or committed; the text names the failed step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mime {

inline constexpr const char* kOutgoingChannel = "localout";

uint32_t QueueMail(const std::string& text, const std::string& reversePath,
                   const std::vector<std::string>& recipients);

} // namespace locmail::mime
