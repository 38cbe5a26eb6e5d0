// Internal to the log folder: the one spdlog logger behind LogMessage.
#pragma once

#include <spdlog/logger.h>

namespace locmail::log {
spdlog::logger& Logger();
}
