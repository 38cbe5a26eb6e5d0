// Reads a fault shim trace (faultshim.c) of one delivery run and checks that
// the queue never forgets an entry ahead of the store's sync: at every removal
// from QUEUE/entries/ or QUEUE/channels/ (unlink, rename away, or an envelope
// replaced by rename), every store write before it must be covered by a later
// syncfs of the store's file system, sync, or fsync/fdatasync of that file.
// Store writes are data written to files under the store home and changes of
// names there (which count against their directory); SQLite's -shm files are
// memory, not data, and are left out.
#pragma once

#include <string>

namespace testsupport {

struct DurabilityVerdict {
    long storeWrites = 0;
    long storeSyncs = 0;     // syncs that covered at least one pending store write
    long removals = 0;
    long unsafeRemovals = 0; // removals while some store write was not yet synced
    std::string firstUnsafe; // the first such removal and one of its unsynced writes
};

DurabilityVerdict CheckRemovalsFollowSync(const std::string& traceFile, const std::string& storeHome,
                                          const std::string& queueDir);

} // namespace testsupport
