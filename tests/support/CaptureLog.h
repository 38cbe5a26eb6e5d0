// While a CaptureLog lives, every log line is kept in memory as
// "LEVEL MODULE: TEXT" (for example "5 LocalMail: OK") instead of being written,
// and the threshold is 6. The previous sinks and threshold come back afterwards.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace locmail::log {

class CaptureLog {
public:
    CaptureLog();
    ~CaptureLog();
    CaptureLog(const CaptureLog&) = delete;
    CaptureLog& operator=(const CaptureLog&) = delete;

    std::vector<std::string> Lines() const;
    // The lines of one module, whole.
    std::vector<std::string> LinesOf(const std::string& module) const;
    void Clear();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace locmail::log
