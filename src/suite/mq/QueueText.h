// Queuing a whole message in one call: the entry sequence that every producer in
// this process runs (the host's inject, the shared classes' outgoing mail).
//
// Contract: creates an entry, writes TEXT as its message file, routes it to
// CHANNEL (priority 255), stores an envelope of one sender record (REVERSEPATH;
// "" is the null reverse path) and one recipient record per item of RECIPIENTS,
// all on CHANNEL, and commits. A step that fails before the commit discards the
// entry, so nothing half-built stays in the queue. MQInit must have succeeded.
// Under an OutgoingKeyScope the id is that of the entry carrying the mail,
// which is an earlier one when the mail was queued already.
// A non-empty LMTPKEY makes it an entry that came through LMTP
// (NewEntry::CameThroughLmtp): the id is then that of the entry still queued
// for the same transaction, when there is one.
// Failure modes: id 0 and a fault naming the failed step; nothing throws but
// std::bad_alloc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mq {

struct QueuedText {
    uint32_t id = 0; // the committed entry, 0 on failure
    std::string fault;
};

QueuedText QueueText(const std::string& text, const std::string& reversePath,
                     const std::vector<std::string>& recipients, const char* channel, const std::string& lmtpKey = {});

} // namespace locmail::mq
