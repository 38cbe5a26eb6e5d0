#include "rules/CLocalMailsortException.h"

CLocalMailsortException::CLocalMailsortException(int code, const char* message)
{
    SetLastError(code);
    SetLastErrorMsg(message);
}

CLocalMailsortException::~CLocalMailsortException() = default;
