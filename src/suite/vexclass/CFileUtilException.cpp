#include "suite/vexclass/CFileUtilException.h"

CFileUtilException::CFileUtilException(int code, const char* message)
{
    SetLastError(code);
    SetLastErrorMsg(message);
}
