#include "suite/mq/QueueState.h"

#include "suite/log/LogMessage.h"

#include <cstdarg>
#include <mutex>

namespace locmail::mq {
namespace {

std::mutex g_mutex;
QueueSettings g_settings;

} // namespace

void SetQueueSettings(QueueSettings settings)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_settings = std::move(settings);
}

QueueSettings CurrentQueue()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_settings;
}

std::string QueueDirectory() { return CurrentQueue().dir; }

void QueueLog(const std::string& module, int level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    log::VLogMessage(level, module.empty() ? kDefaultModule : module.c_str(), format, args);
    va_end(args);
}

} // namespace locmail::mq
