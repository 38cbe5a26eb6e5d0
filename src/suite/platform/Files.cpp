#include "suite/platform/Files.h"

#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace locmail {

std::string PathJoin(std::string_view dir, std::string_view name)
{
    if (dir.empty())
        return std::string(name);
    std::string out(dir);
    if (out.back() != '/')
        out += '/';
    out += name;
    return out;
}

bool IsAbsoluteBelowRoot(const std::string& path)
{
    const std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
    return normal.is_absolute() && normal != normal.root_path();
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int MakeDirectory(const std::string& path, unsigned mode)
{
    return ::mkdir(path.c_str(), mode) == 0 ? 0 : -1;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool ReadAllFrom(int fd, std::string& out, std::size_t maxSize)
{
    constexpr std::size_t kChunk = 64 * 1024;
    for (;;) {
        const std::size_t used = out.size();
        if (used == out.capacity())
            out.reserve(used + std::max(used, kChunk));
        std::size_t room = out.capacity() - used;
        if (maxSize != std::string::npos) // up to the limit and one byte beyond it, so that going past it shows
            room = std::min(room, maxSize - std::min(maxSize, used) + 1);
        out.resize(used + room);
        const ssize_t n = ::read(fd, out.data() + used, room);
        out.resize(used + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        if (out.size() > maxSize) {
            errno = EFBIG;
            return false;
        }
    }
}

UniqueFd OpenRegularFile(const std::string& path, struct stat* info)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return {};
    }
    if (info != nullptr)
        *info = st;
    return fd;
}

bool ReadWholeFile(const std::string& path, std::string& out)
{
    out.clear();
    struct stat st;
    UniqueFd fd = OpenRegularFile(path, &st);
    if (!fd)
        return false;
    // One byte beyond the size, so that a file read to its end needs no second allocation.
    out.reserve(static_cast<std::size_t>(st.st_size) + 1);
    if (ReadAllFrom(fd.get(), out))
        return true;
    const int saved = errno;
    out.clear();
    errno = saved;
    return false;
}

bool CopyFileOver(const std::string& src, const std::string& dst)
{
    std::string data;
    struct stat st;
    UniqueFd in = OpenRegularFile(src, &st);
    if (!in || !ReadAllFrom(in.get(), data))
        return false;
    UniqueFd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777));
    if (!out || !WriteAll(out.get(), data))
        return false;
    return ::close(out.release()) == 0;
}

namespace {
std::atomic<unsigned long long> g_fsyncs{0};
}

bool Fsync(int fd)
{
    g_fsyncs.fetch_add(1, std::memory_order_relaxed);
    return ::fsync(fd) == 0;
}

unsigned long long FsyncCount() { return g_fsyncs.load(std::memory_order_relaxed); }

bool FsyncDirectory(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd && Fsync(fd.get());
}

namespace {

std::string ParentOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool WriteFileAtomic(const std::string& path, std::string_view data, unsigned mode)
{
    // Unique per call, so threads writing the same file never share a temporary.
    static std::atomic<unsigned long long> serial{0};
    std::string tmp = path + ".tmp." + std::to_string(::getpid()) + "." +
                      std::to_string(serial.fetch_add(1, std::memory_order_relaxed));
    {
        UniqueFd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (!fd)
            return false;
        if (!WriteAll(fd.get(), data) || !Fsync(fd.get()) || ::close(fd.release()) != 0) {
            int saved = errno;
            ::unlink(tmp.c_str());
            errno = saved;
            return false;
        }
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(tmp.c_str());
        errno = saved;
        return false;
    }
    return FsyncDirectory(ParentOf(path));
}

} // namespace locmail
