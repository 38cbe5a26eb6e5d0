#include "suite/vexclass/CFileUtil.h"

#include "suite/platform/Files.h"
#include "suite/vexclass/CFileUtilException.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

namespace {

[[noreturn]] void ThrowFailure(int error, const char* path)
{
    std::string message = "Cannot read file (" + std::system_category().message(error) + "): " + path;
    throw CFileUtilException(error, message.c_str());
}

} // namespace

CFileUtil::CFileUtil(const char* name) : CLogging(name) {}

void CFileUtil::Read(const char* path, char*& buffer, unsigned long& length)
{
    buffer = nullptr;
    length = 0;
    if (path == nullptr || *path == '\0')
        ThrowFailure(EINVAL, path ? path : "(no path)");

    std::string text;
    try {
        if (!locmail::ReadWholeFile(path, text)) {
            if (errno == ENOENT)
                return;
            ThrowFailure(errno, path);
        }
    } catch (const std::bad_alloc&) {
        ThrowFailure(ENOMEM, path);
    }
    if (text.empty())
        return;
    char* bytes = new (std::nothrow) char[text.size() + 1];
    if (bytes == nullptr)
        ThrowFailure(ENOMEM, path);
    std::memcpy(bytes, text.data(), text.size() + 1); // with the string's terminating NUL
    length = text.size();
    buffer = bytes;
}
