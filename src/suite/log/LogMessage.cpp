#include "suite/log/LogMessage.h"

#include "suite/log/LoggerAccess.h"
#include "suite/log/ReopenableFileSink.h"
#include "suite/platform/Printable.h"

#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/sinks/syslog_sink.h>
#include <spdlog/spdlog.h>

#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

namespace locmail::log {
namespace {

std::atomic<int> g_threshold{kMaxLevel};
// The file sink the log goes to, for ReopenLogFile; null while it goes elsewhere.
std::shared_ptr<ReopenableFileSink> g_fileSink;

// The pid goes into the pattern as text: spdlog's %P asks the kernel on every line.
// A restart through exec keeps the pid, and children are started with exec.
std::string Pattern() { return "%Y-%m-%d %H:%M:%S.%e " + std::to_string(::getpid()) + " %v"; }

std::shared_ptr<spdlog::logger> MakeDefaultLogger()
{
    auto logger = std::make_shared<spdlog::logger>("locmail", std::make_shared<spdlog::sinks::stderr_sink_mt>());
    logger->set_pattern(Pattern());
    logger->set_level(spdlog::level::trace);
    logger->flush_on(spdlog::level::trace);
    return logger;
}

int ClampLevel(int level) { return std::min(level, kMaxLevel); }

std::string_view TrimLineEnds(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

spdlog::logger& Logger()
{
    static std::shared_ptr<spdlog::logger> logger = MakeDefaultLogger();
    return *logger;
}

void Write(int level, std::string_view module, std::string_view text)
{
    level = ClampLevel(level);
    if (level > g_threshold.load(std::memory_order_relaxed))
        return;
    text = TrimLineEnds(text);
    if (text.size() >= kMaxLine)
        text = text.substr(0, kMaxLine - 1);
    // Addresses and names come from mail: no line breaks, controls or bidi overrides reach the log raw.
    Logger().info("{} {}: {}", level, PrintableText(module), PrintableText(text));
}

void VLogMessage(int level, const char* module, const char* format, va_list args)
{
    if (ClampLevel(level) > g_threshold.load(std::memory_order_relaxed))
        return;
    char line[kMaxLine];
    int n = std::vsnprintf(line, sizeof line, format, args);
    if (n < 0)
        line[0] = '\0';
    Write(level, module ? module : "", line);
}

namespace {

void UseSink(spdlog::sink_ptr sink)
{
    auto& sinks = Logger().sinks();
    sinks.clear();
    sinks.push_back(std::move(sink));
}

bool OpenFileSink(const std::string& path)
{
    try {
        auto sink = std::make_shared<ReopenableFileSink>(path);
        sink->set_pattern(Pattern());
        UseSink(sink);
        g_fileSink = std::move(sink);
    } catch (const spdlog::spdlog_ex&) {
        return false;
    }
    return true;
}

} // namespace

bool OpenLogFile(const std::string& directory, int threshold)
{
    if (!OpenFileSink(directory + "/locmail.log"))
        return false;
    SetThreshold(threshold);
    return true;
}

bool ReopenLogFile() { return !g_fileSink || g_fileSink->Reopen(); }

void OpenSyslog(int threshold)
{
    // syslog stamps time and pid itself; the line keeps level, module and text.
    auto sink = std::make_shared<spdlog::sinks::syslog_sink_mt>("locmail", LOG_PID, LOG_MAIL, false);
    sink->set_pattern("%v");
    UseSink(std::move(sink));
    g_fileSink.reset();
    SetThreshold(threshold);
}

void SetThreshold(int threshold) { g_threshold.store(threshold, std::memory_order_relaxed); }

int Threshold() { return g_threshold.load(std::memory_order_relaxed); }

} // namespace locmail::log

void LogMessage(int level, const char* module, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    locmail::log::VLogMessage(level, module, format, args);
    va_end(args);
}
