// A pass-through SQLite VFS that counts the file syncs SQLite itself makes.
//
// locmail::Fsync counts the fsyncs our own code makes; SQLite syncs its WAL and
// database files through its VFS, out of our sight. Every relation connection
// is opened on this VFS (named by CountingVfsName()), which forwards each call
// to the default VFS unchanged and adds one to a counter per xSync, so that
// benchmarks can report all durability points per message. Registering it
// also makes the real VFS allocate SQLite's shared memory before mapping it
// (ShmAllocation.h), so every relation gets that too.
// Failure modes: CountingVfsName() returns nullptr when the VFS could not be
// registered (no default VFS); callers then open on the default VFS.
#pragma once

namespace locmail::db {

// Registers the VFS once per process (thread-safe) and returns its name.
const char* CountingVfsName();

// xSync calls made by SQLite on relation files since the process started.
unsigned long long SqliteSyncCount();

} // namespace locmail::db
