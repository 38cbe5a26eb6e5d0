// Shared memory of SQLite's WAL index (NAME.db-shm) that is really on disk
// before it is mapped.
//
// SQLite's unix VFS grows the -shm file by writing one byte at the end of each
// 4 KiB page and then maps it. On a file system whose blocks are smaller than
// that (ext4 with 1 KiB blocks, the default below 512 MB), the rest of each
// page stays a hole; when the disk is full, the first store into the hole
// through the mapping cannot get a block and the kernel kills the process
// with SIGBUS. Allocating every byte of a writable shared mapping before it
// is made turns that into an ordinary error: the map fails with ENOSPC, SQLite
// reports SQLITE_IOERR_SHMMAP with that errno, and the store classes it as a
// store-wide temporary failure (the message stays queued).
//
// Contract: InstallShmAllocation(vfs) replaces the "mmap" system call of
// SQLite's unix VFS (shared by all its variants in the process) with one that
// first allocates the range of a writable MAP_SHARED mapping of a file
// (posix_fallocate; on file systems without fallocate the C library writes the
// blocks). Read-only mappings (memory-mapped reads of databases) are left as
// they are. Other processes see no change: the file's size and content are
// the same, only its holes are filled. Idempotent; a VFS without system-call
// overrides (not the unix VFS) is left alone (false).
// Failure modes: the replaced mmap fails with ENOSPC, EDQUOT, EFBIG or EIO
// when the range cannot be allocated; any other allocation error leaves the
// mapping to the kernel as before.
#pragma once

#include <sqlite3.h>

namespace locmail::db {

bool InstallShmAllocation(sqlite3_vfs* unixVfs);

} // namespace locmail::db
