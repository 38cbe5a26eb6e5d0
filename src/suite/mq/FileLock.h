// Advisory whole-file locks (flock) on open descriptors, and the check that
// a locked file is still linked where it was opened.
//
// Contract: a lock lives as long as the descriptor (closing it releases the
// lock), so owners hold locks through UniqueFd. TryLock never waits; Lock
// waits, resuming after signals. StillLinkedAt is true when PATH names the very
// file open on FD, which a locker checks after getting the lock, since the
// file may have been removed or renamed while it waited.
// LockLinkedFile opens PATH and waits for its lock; when the file was
// replaced under PATH meanwhile (an envelope rewrite renames a new file over
// the old one) it starts again on the new file.
// Failure modes: false results or an empty descriptor (errno set); nothing
// throws but std::bad_alloc.
#pragma once

#include "suite/platform/UniqueFd.h"

#include <string>

namespace locmail::mq {

[[nodiscard]] bool TryLockExclusive(int fd);
[[nodiscard]] bool LockExclusive(int fd);
[[nodiscard]] bool StillLinkedAt(int fd, const std::string& path);
UniqueFd LockLinkedFile(const std::string& path);

} // namespace locmail::mq
