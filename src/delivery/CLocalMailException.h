// CLocalMailException: what the agent throws to its host.
//
// Built from an integer code and a message text, kept as the CLogging
// last-error code and message. The agent uses three codes: 2 "Could not
// connect to message queue server" (the queue walk), 4 "Could not initialize
// message queue" and 5 "Could not open message queue" (construction).
// Copyable, as exceptions must be.
#pragma once

#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

class LOCMAIL_EXPORT CLocalMailException : public CLogging {
public:
    static constexpr int kQueueUnreachable = 2;
    static constexpr int kQueueInitFailed = 4;
    static constexpr int kChannelOpenFailed = 5;

    CLocalMailException(int code, const char* message);
    ~CLocalMailException() override;
    CLocalMailException(const CLocalMailException&) = default;
    CLocalMailException& operator=(const CLocalMailException&) = default;
};
