// CLDAPException: what the directory lookups throw when the directory cannot
// be asked at all (no server, refused bind, unreadable LDIF file), as opposed
// to a search that found nothing, which is a false result.
//
// Built from an integer code (the directory's result code, -1 when it has
// none) and a message text, kept as the last-error code and message.
// Copyable, as exceptions must be.
#pragma once

#include "suite/vexclass/CLogging.h"

class CLDAPException : public CLogging {
public:
    CLDAPException(int code, const char* message);
};
