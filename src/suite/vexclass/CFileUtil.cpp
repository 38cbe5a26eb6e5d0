#include "suite/vexclass/CFileUtil.h"

#include "suite/platform/UniqueFd.h"
#include "suite/vexclass/CFileUtilException.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <system_error>

namespace {

// Files that report no size (pipes, /proc entries) start with this much room.
constexpr std::size_t kUnknownSizeCapacity = 64 * 1024;

[[noreturn]] void ThrowFailure(int error, const char* path)
{
    std::string message = "Cannot read file (" + std::system_category().message(error) + "): " + path;
    throw CFileUtilException(error, message.c_str());
}

// The bytes read so far, in storage the caller will release with delete[].
// One byte beyond the capacity is always there for the terminating NUL.
class FileBytes {
public:
    // False when there is no memory for that many bytes.
    bool Reserve(std::size_t capacity)
    {
        if (capacity >= std::numeric_limits<std::size_t>::max() / 2)
            return false;
        std::unique_ptr<char[]> bigger(new (std::nothrow) char[capacity + 1]);
        if (!bigger)
            return false;
        if (size_ > 0)
            std::memcpy(bigger.get(), data_.get(), size_);
        data_ = std::move(bigger);
        capacity_ = capacity;
        return true;
    }

    bool Full() const { return size_ == capacity_; }
    std::size_t Capacity() const { return capacity_; }
    std::size_t Size() const { return size_; }
    char* FreeSpace() { return data_.get() + size_; }
    std::size_t FreeSize() const { return capacity_ - size_; }
    void Grow(std::size_t n) { size_ += n; }

    char* ReleaseTerminated()
    {
        data_[size_] = '\0';
        return data_.release();
    }

private:
    std::unique_ptr<char[]> data_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// Room for the whole file plus one byte, so that a file which did not grow
// since fstat is read to its end without a second allocation.
std::size_t FirstCapacity(const struct stat& st)
{
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        return static_cast<std::size_t>(st.st_size) + 1;
    return kUnknownSizeCapacity;
}

void ReadToEnd(int fd, FileBytes& bytes, const char* path)
{
    for (;;) {
        if (bytes.Full() && !bytes.Reserve(bytes.Capacity() * 2))
            ThrowFailure(ENOMEM, path);
        ssize_t n = ::read(fd, bytes.FreeSpace(), bytes.FreeSize());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowFailure(errno, path);
        }
        if (n == 0)
            return;
        bytes.Grow(static_cast<std::size_t>(n));
    }
}

} // namespace

CFileUtil::CFileUtil(const char* name) : CLogging(name) {}

void CFileUtil::Read(const char* path, char*& buffer, unsigned long& length)
{
    buffer = nullptr;
    length = 0;
    if (path == nullptr || *path == '\0')
        ThrowFailure(EINVAL, path ? path : "(no path)");

    locmail::UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT)
            return;
        ThrowFailure(errno, path);
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        ThrowFailure(errno, path);
    if (S_ISDIR(st.st_mode))
        ThrowFailure(EISDIR, path);

    FileBytes bytes;
    if (!bytes.Reserve(FirstCapacity(st)))
        ThrowFailure(ENOMEM, path);
    ReadToEnd(fd.get(), bytes, path);
    if (bytes.Size() == 0)
        return;
    length = bytes.Size();
    buffer = bytes.ReleaseTerminated();
}
