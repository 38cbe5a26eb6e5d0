// Whole-file advisory locks (flock(2)) on open descriptors: the one place
// that takes and waits for them.
//
// Contract: LockFd takes a shared or an exclusive lock on FD, waiting up to
// MS milliseconds (kWaitForever: as long as it takes; 0: one try). A finite
// wait, or any wait given a STOP check, polls with pauses that grow to 32 ms
// and asks STOP before each pause, so a caller that is asked to stop is not
// held up by a lock another process keeps. Signals never shorten a wait.
// The lock belongs to the open file description: it goes when the last
// descriptor of it is closed, or with UnlockFd.
// Never ask for the other kind of lock on a descriptor that holds one: flock
// converts by dropping the held lock first, even when the new one is then
// refused, so another process can get in while the caller believes it still
// holds the old one. Owners of such descriptors refuse conversions instead.
// Failure modes: 0, or an errno value (also left in errno): ETIMEDOUT when the
// wait ran out, ECANCELED when STOP asked to stop, or flock's own error
// (EBADF, ENOLCK, ...).
#pragma once

#include <functional>

namespace locmail {

inline constexpr unsigned long kWaitForever = 4294967295UL;

enum class LockKind { Shared, Exclusive };

// True when the waiting caller should give up (a stop request came in).
using StopCheck = std::function<bool()>;

[[nodiscard]] int LockFd(int fd, LockKind kind, unsigned long ms, const StopCheck& stop = {});
void UnlockFd(int fd);

} // namespace locmail
