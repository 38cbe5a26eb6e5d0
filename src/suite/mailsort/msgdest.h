// msgdest: one destination entry of a rules outcome, exchanged with the agent
// in this exact layout. The rules library allocates the list (Mailsort::mailDest)
// and releases it (Mailsort::freeMailPath); the agent only reads it, except that
// it stores the masked action word back and splits a forward argument in place.
#pragma once

#include <cstdint>

inline constexpr int kMsgdestTextSize = 1024;

struct msgdest {
    char userName[kMsgdestTextSize];
    int32_t action;
    char argument[kMsgdestTextSize];
    msgdest* next;
};

// Action words. The agent masks the word with 0x37; bits it ignores (0x08 and
// those above 0x40) may carry what the rules library wants remembered.
inline constexpr int32_t kActionMove = 0x01;
inline constexpr int32_t kActionCopy = 0x02;
inline constexpr int32_t kActionReject = 0x04;
inline constexpr int32_t kActionForward = 0x10;
inline constexpr int32_t kActionVacation = 0x20;
inline constexpr int32_t kActionShared = 0x40;
// Set beside kActionReject for a Sieve "discard": the agent files nothing either
// way, but a reader of the list (explain) can tell the two apart.
inline constexpr int32_t kActionDiscardMark = 0x80;
