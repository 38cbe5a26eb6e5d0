// The one spdlog logger behind LogMessage: for the log folder, and for the
// tests' log capture (tests/support/CaptureLog), which swaps its sinks.
#pragma once

#include <spdlog/logger.h>

namespace locmail::log {
spdlog::logger& Logger();
}
