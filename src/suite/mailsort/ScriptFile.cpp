#include "suite/mailsort/ScriptFile.h"

#include "suite/mailsort/SieveLimits.h"
#include "suite/platform/Files.h"

#include <cerrno>

namespace locmail::mailsort {

ReadResult ReadScriptFile(const std::string& path, std::string& text, struct stat* infoOut)
{
    text.clear();
    struct stat info {};
    locmail::UniqueFd fd = locmail::OpenRegularFile(path, &info);
    if (!fd)
        return ReadResult::OpenFailed; // a pipe or device is no filter file (EINVAL)
    if (static_cast<unsigned long long>(info.st_size) > kMaxScriptBytes)
        return ReadResult::TooLarge;
    if (infoOut)
        *infoOut = info;
    text.reserve(static_cast<std::size_t>(info.st_size) + 1);
    if (!locmail::ReadAllFrom(fd.get(), text, kMaxScriptBytes)) {
        const ReadResult result = errno == EFBIG ? ReadResult::TooLarge : ReadResult::ReadFailed;
        text.clear();
        return result;
    }
    return ReadResult::Ok;
}

} // namespace locmail::mailsort
