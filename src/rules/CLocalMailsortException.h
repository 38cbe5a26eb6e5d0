// CLocalMailsortException: the rules executor's exception type, an integer
// code and a message text. The executor throws none today; the type belongs
// to its exported interface.
#pragma once

#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

class LOCMAIL_EXPORT CLocalMailsortException : public CLogging {
public:
    CLocalMailsortException(int code, const char* message);
    ~CLocalMailsortException() override;
    CLocalMailsortException(const CLocalMailsortException&) = default;
    CLocalMailsortException& operator=(const CLocalMailsortException&) = default;
};
