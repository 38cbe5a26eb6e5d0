#include "antispam/CXScanner.h"

#include "antispam/NoCase.h"
#include "suite/log/LogMessage.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr const char* kLogModule = "XScanner";
constexpr int kLineSize = 8192;
constexpr int kHighestLevel = 6;

} // namespace

CXScanner::CXScanner() : m_channel("local"), m_clock([] { return std::time(nullptr); }) {}

CXScanner::~CXScanner() = default;

int32_t CXScanner::GetRblAction(const char* host) const
{
    const std::string_view name(host ? host : "");
    for (const locmail::antispam::RblHost& entry : m_rblHosts)
        if (entry.name.size() == name.size() && locmail::antispam::StartsWithNoCase(entry.name, name))
            return entry.action;
    return 1;
}

void CXScanner::XLog(int level, const char* format, ...) const
{
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n >= 0)
        LogMessage(level > kHighestLevel ? kHighestLevel : level, kLogModule, "%s", line);
}
