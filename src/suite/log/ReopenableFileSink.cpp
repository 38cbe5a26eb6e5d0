#include "suite/log/ReopenableFileSink.h"

#include <cerrno>

namespace locmail::log {

bool ReopenableFileSink::Reopen()
{
    std::lock_guard<std::mutex> lock(mutex_);
    spdlog::details::file_helper fresh;
    try {
        fresh.open(file_.filename(), false);
    }
    catch (const spdlog::spdlog_ex&) {
        return false;
    }
    fresh.close();
    // Opened once above to learn whether it can be: the old file stays until the new one is there.
    file_.reopen(false);
    return true;
}

void ReopenableFileSink::sink_it_(const spdlog::details::log_msg& message)
{
    spdlog::memory_buf_t formatted;
    formatter_->format(message, formatted);
    file_.write(formatted);
}

} // namespace locmail::log
