#include "suite/mq/QueueFileLock.h"

#include "suite/platform/Flock.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace locmail::mq {

bool StillLinkedAt(int fd, const std::string& path)
{
    struct stat open, named;
    if (::fstat(fd, &open) != 0 || open.st_nlink == 0)
        return false;
    if (::stat(path.c_str(), &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

UniqueFd LockLinkedFile(const std::string& path)
{
    for (;;) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd || LockFd(fd.get(), LockKind::Exclusive, kWaitForever) != 0)
            return UniqueFd();
        if (StillLinkedAt(fd.get(), path))
            return fd;
        if (errno == ENOENT)
            return UniqueFd();
    }
}

} // namespace locmail::mq
