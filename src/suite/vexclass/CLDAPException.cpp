#include "suite/vexclass/CLDAPException.h"

CLDAPException::CLDAPException(int code, const char* message)
{
    SetLastError(code);
    SetLastErrorMsg(message);
}
