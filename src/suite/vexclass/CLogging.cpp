#include "suite/vexclass/CLogging.h"

#include "suite/log/LogMessage.h"
#include "suite/platform/Bounded.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

using locmail::CopyBounded;

CLogging::CLogging() = default;

CLogging::CLogging(const char* moduleName) { SetModuleName(moduleName); }

CLogging::~CLogging() = default;

void CLogging::PrintLogMessage(int level, const char* format, ...) const
{
    va_list args;
    va_start(args, format);
    locmail::log::VLogMessage(level, m_moduleName, format, args);
    va_end(args);
}

void CLogging::PrintLogMessageEx(int level, const char* format, ...)
{
    char line[locmail::log::kMaxLine];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0)
        line[0] = '\0';
    // The log drops a trailing line end; the kept message must read the same.
    for (std::size_t len = std::strlen(line); len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r');)
        line[--len] = '\0';
    SetLastErrorMsg(line);
    locmail::log::Write(level, m_moduleName, line);
}

void CLogging::PrintLog(int level, const char* text) const
{
    locmail::log::Write(level, m_moduleName, text ? text : "");
}

void CLogging::PrintLog(const char* moduleName, int level) const
{
    locmail::log::Write(level, moduleName ? moduleName : "", m_lastErrorMsg);
}

// A message longer than the field is kept cut: the full text still reaches the log.
void CLogging::SetLastErrorMsg(const char* text) { (void)CopyBounded(m_lastErrorMsg, text); }

void CLogging::SetModuleName(const char* moduleName) { (void)CopyBounded(m_moduleName, moduleName); }
