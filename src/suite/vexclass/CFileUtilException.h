// CFileUtilException: what CFileUtil throws when a file exists but cannot be read.
//
// Built from an integer code (the system's errno value of the failed call) and a
// message text naming the path and the system error; both are kept as the
// object's last-error code and message (the message cut at 512 characters).
// Handlers log it with PrintLog(module, level) or read GetLastErrorMsg().
// Copyable, as exceptions must be.
#pragma once

#include "suite/vexclass/CLogging.h"

class CFileUtilException : public CLogging {
public:
    CFileUtilException(int code, const char* message);
};
