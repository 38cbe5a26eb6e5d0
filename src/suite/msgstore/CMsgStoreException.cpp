#include "suite/msgstore/CMsgStoreException.h"

CMsgStoreException::CMsgStoreException(int code, const char* message)
{
    SetLastError(code);
    SetLastErrorMsg(message);
}

CMsgStoreException::~CMsgStoreException() = default;
