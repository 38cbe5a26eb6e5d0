// The codes of CMsgStoreException, and the code for each failed filing.
//
// The agent branches on these codes: 4 (and 10) stop its run and keep the
// message queued; 17 defers that one recipient; 14 refiles into "inbox";
// 3, 6, 39, 46 and 56 are reported as an unknown or broken mailbox; anything
// else (18 among them) returns the message with a mailbox error. A failure is
// classed from its errno value (FailureClass.h): store-wide and may pass is 4,
// one mailbox and may pass is 17 (a damaged relation or home among them: mail
// is never returned because the store could not be read), one mailbox for
// good is 18. The table with every code is in docs/store-format.md.
#pragma once

#include "suite/msgstore/Filing.h"

namespace locmail::msgstore {

inline constexpr int kCodeUnknownRecipient = 3;
inline constexpr int kCodeStoreUnavailable = 4;
inline constexpr int kCodeMailboxDamaged = 6; // kept for callers of the suite; the store no longer raises it
inline constexpr int kCodeHomeLockFailed = 10; // raised by the agent itself
inline constexpr int kCodeNoSuchFolder = 14;
inline constexpr int kCodeBadFolderName = 15;
inline constexpr int kCodeFolderFull = 16;
inline constexpr int kCodeMailboxUnavailable = 17; // one mailbox, temporary: defer that recipient only
inline constexpr int kCodeMailboxRefused = 18;     // one mailbox, permanent: return the message
inline constexpr int kCodeUnknownSharedMailbox = 39;
inline constexpr int kCodeNoHomeDirectory = 46; // kept for callers of the suite; the store no longer raises it
inline constexpr int kCodeBadAddress = 56;

// The code for a failure of errno value ERROR (4, 17 or 18).
int CodeForErrno(int error);
// The code for a failed filing (never called with Filed): 14, 15 and 16 by
// status, the rest by its errno value.
int StoreExceptionCode(const FilingResult& result);

} // namespace locmail::msgstore
