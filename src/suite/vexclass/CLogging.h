// CLogging: the logging base of the suite's classes and exceptions.
//
// Holds a last-error code and message (the status word of a component) and the
// name of the logging module under which its lines are written. Texts longer
// than their fields (512 and 256 characters) are cut; the log line itself keeps
// up to 8191 characters. Copyable; not thread-safe (one object, one thread).
#pragma once

#include "suite/platform/Export.h"

#include <cstdint>

class LOCMAIL_EXPORT CLogging {
public:
    static constexpr int kErrorMsgSize = 513;
    static constexpr int kModuleNameSize = 257;

    CLogging();
    explicit CLogging(const char* moduleName);
    virtual ~CLogging();
    CLogging(const CLogging&) = default;
    CLogging& operator=(const CLogging&) = default;

    void PrintLogMessage(int level, const char* format, ...) const __attribute__((format(printf, 3, 4)));
    // Logs like PrintLogMessage and also keeps the text as the last-error message.
    void PrintLogMessageEx(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void PrintLog(int level, const char* text) const;
    // On an exception object: logs its last-error message under MODULENAME.
    void PrintLog(const char* moduleName, int level) const;

    void SetLastError(int32_t code) { m_lastError = code; }
    void SetLastErrorMsg(const char* text);
    int32_t GetLastError() const { return m_lastError; }
    const char* GetLastErrorMsg() const { return m_lastErrorMsg; }

    void SetModuleName(const char* moduleName);
    const char* GetModuleName() const { return m_moduleName; }

private:
    int32_t m_lastError = 0;
    char m_lastErrorMsg[kErrorMsgSize] = {};
    char m_moduleName[kModuleNameSize] = {};
};
