// CMsgStoreException: how the message store reports a failure to its callers.
//
// Carries an integer code (StoreCodes.h; docs/store-format.md tables them) and a
// message text, kept as the CLogging last-error code and message. Callers log the
// text and branch on the code. Copyable.
#pragma once

#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

class LOCMAIL_EXPORT CMsgStoreException : public CLogging {
public:
    CMsgStoreException(int code, const char* message);
    ~CMsgStoreException() override;
    CMsgStoreException(const CMsgStoreException&) = default;
    CMsgStoreException& operator=(const CMsgStoreException&) = default;

    int GetCode() const { return GetLastError(); }
    const char* GetMessage() const { return GetLastErrorMsg(); }
};
