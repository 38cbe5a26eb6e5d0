// CFileUtil: reads a whole file into memory for the message loaders.
//
// Read(path, buffer, length) allocates new char[length + 1] holding the file's
// bytes followed by a terminating NUL (not counted in length), so text users
// are safe and binary content, NUL bytes included, keeps its exact length. The
// caller owns the buffer and releases it with delete[].
//
// Failure modes:
// - the file does not exist (ENOENT), or exists and is empty: buffer null,
//   length 0, no throw;
// - anything else (no path, a directory, a FIFO, device or socket (EINVAL:
//   never waited on), a path through a plain file, no permission, a read
//   error, no memory): throws CFileUtilException whose code is
//   the errno value and whose message is "Cannot read file (SYSTEM ERROR): PATH".
//   buffer and length are then null and 0.
#pragma once

#include "suite/vexclass/CLogging.h"

class CFileUtil : public CLogging {
public:
    // NAME is the logging module name; the loaders pass "".
    explicit CFileUtil(const char* name);

    void Read(const char* path, char*& buffer, unsigned long& length);
};
