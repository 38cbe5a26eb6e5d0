#include "suite/mailsort/CMailsortException.h"

CMailsortException::CMailsortException(int code, const char* message) : CLogging("Mailsort")
{
    SetLastError(code);
    SetLastErrorMsg(message);
}

CMailsortException::~CMailsortException() = default;
