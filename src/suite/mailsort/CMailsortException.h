// CMailsortException: how the rules library reports a failure to its callers.
// Built from an integer code (the error codes of Mailsort.h) and a message
// text, kept as the CLogging last-error code and message. Copyable.
#pragma once

#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

class LOCMAIL_EXPORT CMailsortException : public CLogging {
public:
    CMailsortException(int code, const char* message);
    ~CMailsortException() override;
    CMailsortException(const CMailsortException&) = default;
    CMailsortException& operator=(const CMailsortException&) = default;
};
