#include "suite/db/TextHeap.h"

#include "suite/platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace locmail::db {
namespace {

constexpr char kRecordMagic[4] = {'L', 'M', 'T', 'X'};
constexpr std::size_t kRecordHeader = 8;

void EncodeHeader(char (&out)[kRecordHeader], std::uint32_t length)
{
    std::memcpy(out, kRecordMagic, 4);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
}

bool PreadAll(int fd, char* buf, std::size_t n, off_t offset)
{
    while (n > 0) {
        ssize_t got = ::pread(fd, buf, n, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buf += got;
        n -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

} // namespace

bool TextHeap::OpenForAppend()
{
    if (append_)
        return true;
    UniqueFd fd(::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd)
        return false;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return false;
    // A heap made by hand or left empty gets its header before the first record.
    if (st.st_size == 0 && !WriteAll(fd.get(), kHeapHeader))
        return false;
    append_ = std::move(fd);
    return true;
}

bool TextHeap::Append(std::string_view text, std::uint64_t& offset)
{
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        errno = EFBIG;
        return false;
    }
    if (!OpenForAppend())
        return false;
    char header[kRecordHeader];
    EncodeHeader(header, static_cast<std::uint32_t>(text.size()));
    iovec parts[2] = {{header, kRecordHeader}, {const_cast<char*>(text.data()), text.size()}};
    const std::size_t total = kRecordHeader + text.size();
    // One writev with O_APPEND lands in one piece at the end of the file; the
    // offset after it tells where it landed.
    ssize_t n;
    do {
        n = ::writev(append_.get(), parts, 2);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    if (static_cast<std::size_t>(n) != total) {
        errno = ENOSPC; // a short write leaves a torn record that no row will point to
        return false;
    }
    off_t end = ::lseek(append_.get(), 0, SEEK_CUR);
    if (end < 0)
        return false;
    offset = static_cast<std::uint64_t>(end) - total;
    return true;
}

bool TextHeap::Read(std::uint64_t offset, std::uint32_t length, std::string& out)
{
    if (!read_) {
        read_.reset(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
        if (!read_)
            return false;
    }
    char header[kRecordHeader];
    char want[kRecordHeader];
    EncodeHeader(want, length);
    if (!PreadAll(read_.get(), header, kRecordHeader, static_cast<off_t>(offset))
        || std::memcmp(header, want, kRecordHeader) != 0) {
        errno = EILSEQ;
        return false;
    }
    out.resize(length);
    if (!PreadAll(read_.get(), out.data(), length, static_cast<off_t>(offset + kRecordHeader))) {
        out.clear();
        errno = EILSEQ;
        return false;
    }
    return true;
}

} // namespace locmail::db
