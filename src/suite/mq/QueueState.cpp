#include "suite/mq/QueueState.h"

#include "suite/log/LogMessage.h"

#include <cstdarg>
#include <mutex>

namespace locmail::mq {
namespace {

std::mutex g_mutex;
QueueSettings g_settings;

thread_local QueueSettings t_initQueue;
thread_local const void* t_walk = nullptr;
thread_local QueueSettings t_walkQueue;

} // namespace

void SetQueueSettings(QueueSettings settings)
{
    t_walk = nullptr;
    t_walkQueue = {};
    t_initQueue = settings;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_settings = std::move(settings);
}

void EnterWalkQueue(const void* walk, QueueSettings settings)
{
    t_walk = walk;
    t_walkQueue = std::move(settings);
}

void LeaveWalkQueue(const void* walk)
{
    if (t_walk != walk)
        return;
    t_walk = nullptr;
    t_walkQueue = {};
}

QueueSettings CurrentQueue()
{
    if (t_walk != nullptr)
        return t_walkQueue;
    if (!t_initQueue.dir.empty())
        return t_initQueue;
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
