#include "support/CaptureLog.h"

#include "suite/log/LogMessage.h"
#include "suite/log/LoggerAccess.h"

#include <spdlog/sinks/base_sink.h>

#include <mutex>

namespace locmail::log {
namespace {

class MemorySink : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<std::string> Lines()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override
    {
        lines_.emplace_back(msg.payload.data(), msg.payload.size());
    }
    void flush_() override {}

private:
    std::vector<std::string> lines_;
};

} // namespace

struct CaptureLog::State {
    std::shared_ptr<MemorySink> sink = std::make_shared<MemorySink>();
    std::vector<spdlog::sink_ptr> saved;
    int savedThreshold = 0;
};

CaptureLog::CaptureLog() : state_(std::make_unique<State>())
{
    auto& sinks = Logger().sinks();
    state_->saved = sinks;
    state_->savedThreshold = Threshold();
    sinks.assign(1, state_->sink);
    SetThreshold(kMaxLevel);
}

CaptureLog::~CaptureLog()
{
    Logger().sinks() = state_->saved;
    SetThreshold(state_->savedThreshold);
}

std::vector<std::string> CaptureLog::Lines() const { return state_->sink->Lines(); }

std::vector<std::string> CaptureLog::LinesOf(const std::string& module) const
{
    std::vector<std::string> out;
    for (const auto& line : Lines()) {
        auto space = line.find(' ');
        if (space == std::string::npos)
            continue;
        std::string_view rest(line);
        rest.remove_prefix(space + 1);
        if (rest.substr(0, module.size()) == module && rest.substr(module.size(), 2) == ": ")
            out.push_back(line);
    }
    return out;
}

void CaptureLog::Clear() { state_->sink->Clear(); }

} // namespace locmail::log
