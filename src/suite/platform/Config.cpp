#include "suite/platform/Config.h"

#include <cstdlib>
#include <mutex>
#include <utility>

namespace locmail {

namespace {

std::mutex g_mutex;
std::string g_option;

} // namespace

void SetConfigOption(std::string path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_option = std::move(path);
}

std::string ConfigFilePath()
{
    if (const char* env = std::getenv("LOCMAIL_CONFIG"); env != nullptr && *env != '\0')
        return env;
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_option.empty() ? std::string(kDefaultConfigPath) : g_option;
}

} // namespace locmail
