#include "suite/mailsort/ScriptFile.h"

#include "suite/mailsort/SieveLimits.h"
#include "suite/platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

namespace locmail::mailsort {


ReadResult ReadScriptFile(const std::string& path, std::string& text, struct stat* infoOut)
{
    text.clear();
    locmail::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return ReadResult::OpenFailed;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return ReadResult::OpenFailed;
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL; // a pipe or device is no filter file
        return ReadResult::OpenFailed;
    }
    if (static_cast<unsigned long long>(info.st_size) > kMaxScriptBytes)
        return ReadResult::TooLarge;
    if (infoOut)
        *infoOut = info;
    // One byte more than allowed tells a file that grew past the limit.
    text.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t length = 0;
    while (length < text.size()) {
        ssize_t n = ::read(fd.get(), text.data() + length, text.size() - length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            text.clear();
            return ReadResult::ReadFailed;
        }
        if (n == 0)
            break;
        length += static_cast<std::size_t>(n);
        if (length == text.size() && length <= kMaxScriptBytes)
            text.resize(std::min(text.size() * 2, kMaxScriptBytes + 1));
    }
    if (length > kMaxScriptBytes) {
        text.clear();
        return ReadResult::TooLarge;
    }
    text.resize(length);
    return ReadResult::Ok;
}

} // namespace locmail::mailsort
