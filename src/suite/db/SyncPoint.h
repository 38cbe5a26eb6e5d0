// Shared durability points for the store.
//
// The store syncs nothing per message: message files, relation commits
// (SQLite WAL, synchronous=NORMAL), text heaps and new directory entries are
// left to the page cache. Writers name the directories they changed with
// MarkDirty; SyncPoint later makes all of it durable at once
// with one syncfs(2) per file system touched, however many messages and
// folders were written in between. A host calls SyncPoint before it lets the
// sources of a batch of filings go (for instance before queue removals become
// durable); see docs/store-format.md for what a power cut costs without one.
//
// Thread-safe. Failure modes: SyncPoint returns 0, or the first errno met; the
// directories that could not be synced stay pending for the next call (the
// others are synced all the same). A directory that no longer exists is dropped.
#pragma once

#include <string>

namespace locmail::db {

void MarkDirty(const std::string& directory);
int SyncPoint();

// How many directories are waiting for the next SyncPoint (for tests).
std::size_t PendingSyncCount();
// syncfs calls made by SyncPoint since the process started.
unsigned long long SyncfsCount();

} // namespace locmail::db
