#include "integration/FaultShim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <utility>

namespace testsupport {
namespace {

// Sets variables for the processes started while it lives; puts the old values back.
class ScopedEnvironment {
public:
    void Set(const std::string& name, const std::string& value)
    {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value.empty())
            ::unsetenv(name.c_str());
        else
            ::setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace

locmail::Process StartWithShim(const Installation& inst, const std::vector<std::string>& args,
                               const ShimOptions& options)
{
    ScopedEnvironment env;
    env.Set("LD_PRELOAD", FAULTSHIM_LIBRARY);
    env.Set("FAULTSHIM_ROOT", std::filesystem::canonical(inst.Dir()).string());
    env.Set("FAULTSHIM_KILL_AT", options.killAt ? std::to_string(options.killAt) : "");
    env.Set("FAULTSHIM_SIGNAL", std::to_string(options.signal));
    env.Set("FAULTSHIM_ARM_AFTER_EXECS", std::to_string(options.inImage));
    env.Set("FAULTSHIM_EXECS", "");
    env.Set("FAULTSHIM_KILL_ON_WRITE", options.killOnWriteTo);
    env.Set("FAULTSHIM_KILL_ON_IDLE", options.killOnIdle ? "1" : "");
    env.Set("FAULTSHIM_TRACE", options.trace);
    env.Set("FAULTSHIM_IDLE_FIFO", options.idleFifo);
    return inst.Start(args);
}

IdleSignal::IdleSignal(const Installation& inst) : path_(inst.Dir() + "/idle.fifo")
{
    if (::mkfifo(path_.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo " + path_);
    read_.reset(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    keepOpen_.reset(::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!read_ || !keepOpen_)
        throw std::runtime_error("cannot open " + path_);
}

bool IdleSignal::WaitForIdle(int limitMs)
{
    pollfd ready{read_.get(), POLLIN, 0};
    if (::poll(&ready, 1, limitMs) != 1)
        return false;
    char announcement[5]; // "idle\n", written in one piece
    return ::read(read_.get(), announcement, sizeof announcement) == sizeof announcement;
}

} // namespace testsupport
