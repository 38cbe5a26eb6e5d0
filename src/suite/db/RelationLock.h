// The locks of relations (their NAME.id0 files): flock(2) through the
// platform's one helper (platform/Flock.h), shared with other processes and
// re-entrant within one thread.
//
// Contract: AcquireRelationLock takes the lock on PATH (creating the file if
// needed) and waits up to MS milliseconds for it (kWaitForever: as long as it
// takes; 0: one try). A thread that already holds the lock on that file
// (through any relation object, under any spelling of its path) gets it again
// at once and must release it as often as it acquired it; other threads and
// other processes are excluded as usual. A thread that holds the lock shared
// and asks for it exclusive is refused with EDEADLK and keeps its shared lock:
// flock would drop the shared lock to convert it, letting a writer in while
// the caller still relies on what it read. Such a caller releases its shared
// hold and asks again. Locks taken before fork() are never treated as held by
// the child.
// Failure modes: Acquire returns 0 (and the file's identity in KEY) or an
// errno value: ETIMEDOUT when the wait ran out, EDEADLK for a conversion, or
// the error of open/flock. Release returns 0, or EPERM when this thread does
// not hold that lock.
#pragma once

#include "suite/platform/Flock.h"

#include <sys/types.h>

#include <string>

namespace locmail::db {

using locmail::kWaitForever;

// The identity of a lock file: its device and inode.
struct LockKey {
    dev_t dev = 0;
    ino_t ino = 0;
};

int AcquireRelationLock(const std::string& path, bool shared, unsigned long ms, LockKey* key = nullptr);
int ReleaseRelationLock(const LockKey& key);
// The same by path, for callers that did not keep the key.
int ReleaseRelationLock(const std::string& path);

} // namespace locmail::db
