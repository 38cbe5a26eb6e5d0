#include "bayes/CBayesianFilter.h"

#include "antispam/CAntiSpamConfig.h"
#include "rewrite/BounceToSender.h"
#include "filing/FileMessage.h"
#include "antispam/FilterLog.h"
#include "rewrite/MessageRewrite.h"
#include "suite/log/LogMessage.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr int kLineSize = 8192;
constexpr int kHighestLevel = 6;

} // namespace

bool CBayesianFilter::FileMessage(const char* homeDir, const char* messagePath, const char* folderPath)
{
    return locmail::filing::FileMessage(homeDir, messagePath, folderPath);
}

bool CBayesianFilter::ChangeSubject(const char* messagePath, const char* outputPath)
{
    if (m_userSettings == nullptr) {
        Log(1, "ChangeSubject - No anti-spam settings for this delivery");
        return false;
    }
    return locmail::rewrite::ChangeSubject(messagePath, outputPath, m_userSettings->GetSpamSubject());
}

bool CBayesianFilter::AddXHeader(const char* messagePath, const char* outputPath)
{
    return locmail::rewrite::AddXHeader(messagePath, outputPath);
}

bool CBayesianFilter::BounceSpam(const char* sender, const char* messagePath)
{
    if (m_userSettings == nullptr) {
        Log(1, "BounceSpam - No anti-spam settings for this delivery");
        return false;
    }
    return BounceToSender(sender, messagePath, m_userSettings->GetBounceReason());
}

bool CBayesianFilter::BounceToSender(const char* sender, const char* messagePath, const char* reason)
{
    return locmail::rewrite::BounceToSender(sender, messagePath, reason);
}

int CBayesianFilter::Log(int level, const char* format, ...)
{
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0)
        return -1;
    LogMessage(level > kHighestLevel ? kHighestLevel : level, locmail::antispam::kFilterLogModule, "%s", line);
    return n < kLineSize ? n : kLineSize - 1;
}
