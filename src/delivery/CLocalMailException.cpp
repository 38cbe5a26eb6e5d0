#include "delivery/CLocalMailException.h"

CLocalMailException::CLocalMailException(int code, const char* message)
{
    SetLastError(code);
    SetLastErrorMsg(message);
}

CLocalMailException::~CLocalMailException() = default;
