// CMimeMsgException: a message could not be composed or handed to the queue.
// Built from an integer code and a message text, kept as the CLogging last-error
// code and message. Copyable.
//
// Codes: the errno value when a file could not be read; kBadMessage when there
// is nothing valid to send (no recipient, a bad address); kQueueFailure when
// the message queue is not initialised or refused the message.
#pragma once

#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

class LOCMAIL_EXPORT CMimeMsgException : public CLogging {
public:
    static constexpr int kBadMessage = -1;
    static constexpr int kQueueFailure = -2;

    CMimeMsgException(int code, const char* message);
    ~CMimeMsgException() override;
    CMimeMsgException(const CMimeMsgException&) = default;
    CMimeMsgException& operator=(const CMimeMsgException&) = default;
};
