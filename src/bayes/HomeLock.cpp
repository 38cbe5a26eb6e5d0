// CBayesianFilter: "bayesian.lock" in the recipient's home keeps the filter
// apart from the suite's learning process. The file's existence is the lock.
// An existing lock is waited on, one second per attempt for TimeOut minutes,
// only while the learner named by the pid file (4-byte little-endian id) is
// alive; a lock left by a learner that is gone counts as free.
#include "bayes/CBayesianFilter.h"

#include "suite/platform/Files.h"
#include "suite/platform/Process.h"
#include "suite/platform/Sleep.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* kLockName = "bayesian.lock";
constexpr unsigned long kAttemptPauseMs = 1000;

std::string LockPath(const char* homeDir) { return locmail::PathJoin(homeDir ? homeDir : "", kLockName); }

bool CreateLockFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

bool CBayesianFilter::LockHomeDir(const char* homeDir)
{
    const std::string path = LockPath(homeDir);
    const long limit = static_cast<long>(m_timeOut) * 60;
    if (limit < 1)
        return false;
    for (long attempts = 0;;) {
        if (CreateLockFile(path) || !IsLearnerRunning())
            return true;
        Sleep(kAttemptPauseMs);
        if (++attempts >= limit)
            return false;
    }
}

void CBayesianFilter::UnlockHomeDir(const char* homeDir) { std::remove(LockPath(homeDir).c_str()); }

bool CBayesianFilter::IsLearnerRunning() const
{
    if (m_learnPidPath.empty())
        return false;
    std::FILE* file = std::fopen(m_learnPidPath.c_str(), "rb");
    if (file == nullptr)
        return false;
    unsigned char bytes[4];
    const bool whole = std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes;
    std::fclose(file);
    if (!whole)
        return false;
    const uint32_t pid = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return locmail::IsProcessAlive(static_cast<long>(pid));
}
