// File helpers: the one place where paths are joined and where files are
// read, written and made durable. Failures are values (false, or an errno),
// never exceptions: a missing file is a normal outcome for most callers.
#pragma once

#include "suite/platform/UniqueFd.h"

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace locmail {

// DIR + "/" + NAME; no doubled separator when DIR already ends in "/"; NAME alone when DIR is empty.
std::string PathJoin(std::string_view dir, std::string_view name);

// An absolute path that is not the root itself ("/", "//.", "/a/.."): where an
// installation may keep its queue or store. A setting that fails this must never be created.
bool IsAbsoluteBelowRoot(const std::string& path);

bool FileExists(const std::string& path);   // anything at PATH (follows links)
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path); // follows links

// One level, like _mkdir: 0 on success, else -1 with errno set (EEXIST when it exists).
int MakeDirectory(const std::string& path, unsigned mode = 0755);

// Copies SRC over DST (replacing it), like CopyFileA with overwrite; false with
// errno on failure (SRC is read as ReadWholeFile does; a failed close counts).
bool CopyFileOver(const std::string& src, const std::string& dst);

// Opens PATH for reading, never waiting on it: a FIFO without a writer or a
// device must not stall whoever reads a settings or message file, so the open
// does not block and anything but a regular file is refused: EISDIR for a
// directory, EINVAL for a FIFO, device or socket (the last link followed).
// INFO, when given, receives fstat of the opened file. The descriptor keeps
// O_NONBLOCK, which a regular file ignores. Empty with errno on failure.
UniqueFd OpenRegularFile(const std::string& path, struct stat* info = nullptr);

// Reads the regular file PATH whole into OUT, opened as OpenRegularFile does;
// false with errno on failure (OUT then empty).
bool ReadWholeFile(const std::string& path, std::string& out);

// Appends everything FD yields until its end to OUT, retrying EINTR; false with
// errno on a read error, or EFBIG once OUT would hold more than MAX_SIZE bytes
// (OUT then keeps what was read). The one read loop of the tree: every whole-file
// reader ends here.
bool ReadAllFrom(int fd, std::string& out, std::size_t maxSize = std::string::npos);

// Writes all of DATA to FD, retrying short writes and EINTR; false with errno on failure.
bool WriteAll(int fd, std::string_view data);

// fsync(2) that also counts, so benchmarks can report durability points per message.
bool Fsync(int fd);
unsigned long long FsyncCount();

// Makes the entries of directory PATH durable (created, renamed or removed names).
bool FsyncDirectory(const std::string& path);

// Writes DATA to PATH durably: a temporary beside it, fsync, rename over PATH, fsync of the folder.
bool WriteFileAtomic(const std::string& path, std::string_view data, unsigned mode = 0644);

} // namespace locmail
