// The queue envelope as the agent reads and builds it: a list of sender
// records and a list of recipient records, each a singly linked chain of
// two-word nodes with a head, a cursor and an item count.
//
// Contract: the structures are plain data, laid out exactly as callers build
// them by hand (a sender record is six words, a recipient record five). Null
// text pointers read as empty texts. The list helpers below never own the
// items; AppendEnvItem owns nothing but the node it allocates, which
// ReleaseEnvNodes frees. An envelope returned by GetMQEnvelope is released
// with FreeMQEnvelope (MQapi.h) and nothing else; an envelope that a caller
// builds for PutMQEnvelope stays the caller's (EnvelopeBuilder.h owns one).
// Failure modes: AppendEnvItem returns false when no node can be allocated,
// leaving the list unchanged. Nothing throws.
#pragma once

#include <cstdint>

struct stEnvNode {
    void* item;
    stEnvNode* next;
};

struct stEnvList {
    stEnvNode* head;
    stEnvNode* cursor;
    int32_t count;
};

// Sender record. Bit 0x80 of flags is kReturnedMailFlag (below).
struct _envFrom {
    char* address;
    char* info;
    uint32_t flags;
    uint32_t reserved;
    char* extra;
    char* channel;
};

// Recipient record: channel names the queue channel the recipient is for.
struct _envRcpt {
    char* address;
    char* info;
    uint32_t flags;
    char* extra;
    char* channel;
};

struct stEnvelope {
    stEnvList from;
    stEnvList rcpt;
};

namespace locmail::mq {

// Marks a sender record handed to the bounce service: the agent sets it while it
// returns mail for a recipient without a mailbox (its status 11) and clears it
// afterwards; the spam bounce's refusal record always carries it, with the kind
// "DSN" in its channel field. Returned mail reads it as "no such mailbox"
// unless the kind says refusal (ReturnedMail.h).
inline constexpr uint32_t kReturnedMailFlag = 0x80;

// Appends ITEM after the last node and raises the count by one.
[[nodiscard]] bool AppendEnvItem(stEnvList& list, void* item);

// Puts the cursor back on the head.
void ResetEnvCursor(stEnvList& list);

// The item under the cursor, advancing the cursor; null at the end of the list.
void* NextEnvItem(stEnvList& list);

// Frees the nodes (not the items) and leaves an empty list.
void ReleaseEnvNodes(stEnvList& list);

} // namespace locmail::mq
