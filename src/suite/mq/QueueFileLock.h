// Locking a queue file that others may replace or remove while we wait: the
// envelope of an entry (rewritten by renaming a new file over it) and the
// markers and claims of a walk. The locks themselves are platform/Flock.h's.
//
// Contract: StillLinkedAt is true when PATH names the very file open on FD,
// which a locker checks after getting the lock, since the file may have been
// removed or renamed while it waited. LockLinkedFile opens PATH and waits for
// its exclusive lock; when the file was replaced under PATH meanwhile it
// starts again on the new file. The lock lives as long as the descriptor.
// Failure modes: false, or an empty descriptor (errno set; ENOENT when PATH
// is gone); nothing throws but std::bad_alloc.
#pragma once

#include "suite/platform/UniqueFd.h"

#include <string>

namespace locmail::mq {

[[nodiscard]] bool StillLinkedAt(int fd, const std::string& path);
UniqueFd LockLinkedFile(const std::string& path);

} // namespace locmail::mq
