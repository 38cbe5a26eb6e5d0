#include "suite/msgstore/MessageFile.h"

#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace locmail::msgstore {

std::string MessageFilePath(std::string_view folderDir, std::uint32_t uid)
{
    return PathJoin(folderDir, std::to_string(uid));
}

bool WriteMessageFile(const std::string& path, std::string_view text, const std::function<bool()>& between)
{
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd)
        return false; // whatever is in the way (a directory, a link) is left for the operator to see
    bool written = WriteAll(fd.get(), kMessagePrefix);
    if (written && between && !between()) {
        written = false;
        errno = EIO;
    }
    written = written && WriteAll(fd.get(), text);
    // close can report a late write error (a network file system's quota); it counts as a failure.
    written = ::close(fd.release()) == 0 && written;
    if (!written) {
        const int saved = errno;
        ::unlink(path.c_str());
        errno = saved;
    }
    return written;
}

bool ReadMessageFile(const std::string& path, std::string& text)
{
    if (!ReadWholeFile(path, text))
        return false;
    if (text.compare(0, kMessagePrefix.size(), kMessagePrefix) != 0) {
        text.clear();
        errno = EILSEQ;
        return false;
    }
    text.erase(0, kMessagePrefix.size());
    return true;
}

} // namespace locmail::msgstore
