// Advisory locks on a relation's lock file (NAME.id0), shared with other
// processes through flock(2), re-entrant within one thread.
//
// Contract: Acquire takes the lock on PATH (creating the file if needed) and
// waits up to MS milliseconds for it (kWaitForever: as long as it takes; 0: one
// try). A thread that already holds the lock on that file (through any
// relation object, under any spelling of its path) gets it again at once and
// must Release it as often as it acquired it; other threads and other
// processes are excluded as usual. Asking for an exclusive lock while holding
// a shared one converts it (flock drops and retakes it), waiting as above.
// Locks taken before fork() are never treated as held by the child.
// Failure modes: Acquire returns 0 (and the file's identity in KEY) or an
// errno value: ETIMEDOUT when the wait ran out, or the error of open/flock.
// Release returns 0, or EPERM when this thread does not hold that lock.
#pragma once

#include <sys/types.h>

#include <string>

namespace locmail::db {

inline constexpr unsigned long kWaitForever = 4294967295UL;

// The identity of a lock file: its device and inode.
struct LockKey {
    dev_t dev = 0;
    ino_t ino = 0;
};

int AcquireFileLock(const std::string& path, bool shared, unsigned long ms, LockKey* key = nullptr);
int ReleaseFileLock(const LockKey& key);
// The same by path, for callers that did not keep the key.
int ReleaseFileLock(const std::string& path);

} // namespace locmail::db
