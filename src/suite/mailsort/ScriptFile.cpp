#include "suite/mailsort/ScriptFile.h"

#include "suite/mailsort/Filterfile.h"
#include "suite/mailsort/SieveLimits.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace locmail::mailsort {

ReadResult ReadScriptFile(const std::string& path, std::string& text)
{
    text.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ReadResult::OpenFailed;
    Filterfile file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return ReadResult::OpenFailed;
    if (static_cast<unsigned long long>(info.st_size) > kMaxScriptBytes)
        return ReadResult::TooLarge;
    text.reserve(static_cast<std::size_t>(info.st_size));
    for (int c = file.get(); c >= 0; c = file.get()) {
        // The file may grow while we read it.
        if (text.size() >= kMaxScriptBytes) {
            text.clear();
            return ReadResult::TooLarge;
        }
        text += static_cast<char>(c);
    }
    if (file.errflag()) {
        text.clear();
        return ReadResult::ReadFailed;
    }
    return ReadResult::Ok;
}

} // namespace locmail::mailsort
