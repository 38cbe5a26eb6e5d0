// The codes of CMsgStoreException, and the code for each failed filing.
//
// The agent branches on these codes: 4 (and 10) stop its run and keep the
// message queued; 14 refiles into "inbox"; 3, 6, 39, 46 and 56 are reported
// as an unknown or broken mailbox; anything else returns the message with a
// mailbox error. So a failure that may heal by itself (I/O error, full disk,
// a lock or database that cannot be had right now) must be 4, and only a
// failure that retrying cannot cure may be anything else. The table with
// every code is in docs/store-format.md.
#pragma once

#include "suite/msgstore/Filing.h"

namespace locmail::msgstore {

inline constexpr int kCodeUnknownRecipient = 3;
inline constexpr int kCodeStoreUnavailable = 4;
inline constexpr int kCodeMailboxDamaged = 6;
inline constexpr int kCodeHomeLockFailed = 10; // raised by the agent itself
inline constexpr int kCodeNoSuchFolder = 14;
inline constexpr int kCodeBadFolderName = 15;
inline constexpr int kCodeFolderFull = 16;
inline constexpr int kCodeUnknownSharedMailbox = 39;
inline constexpr int kCodeNoHomeDirectory = 46;
inline constexpr int kCodeBadAddress = 56;

// The CMsgStoreException code for a failed filing (never called with Filed).
int StoreExceptionCode(FilingStatus status);

} // namespace locmail::msgstore
