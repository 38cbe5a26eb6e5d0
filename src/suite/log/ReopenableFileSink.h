// The log file as an spdlog sink that can be opened again by its name while
// other threads write: log rotation renames the file, and the next lines go
// to a new file by the old name.
//
// Contract: appends to PATH (created when missing). Reopen closes the file
// and opens PATH again under the sink's own lock, so a line is written wholly
// to the old file or wholly to the new one; the logger's list of sinks is
// never touched, which other threads could be reading.
// Failure modes: the constructor throws spdlog::spdlog_ex when PATH cannot be
// opened; Reopen returns false (errno set) and keeps writing to the old file.
#pragma once

#include <spdlog/details/file_helper.h>
#include <spdlog/sinks/base_sink.h>

#include <mutex>
#include <string>

namespace locmail::log {

class ReopenableFileSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    explicit ReopenableFileSink(const std::string& path) { file_.open(path, false); }
    const std::string& Path() const { return file_.filename(); }
    bool Reopen();

protected:
    void sink_it_(const spdlog::details::log_msg& message) override;
    void flush_() override { file_.flush(); }

private:
    spdlog::details::file_helper file_;
};

} // namespace locmail::log
