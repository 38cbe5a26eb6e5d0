#include "suite/vexclass/CMimeMsgException.h"

CMimeMsgException::CMimeMsgException(int code, const char* message)
{
    SetLastError(code);
    SetLastErrorMsg(message);
}

CMimeMsgException::~CMimeMsgException() = default;
