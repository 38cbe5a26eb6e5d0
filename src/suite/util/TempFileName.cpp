#include "suite/util/TempFileName.h"

#include "suite/log/LogMessage.h"
#include "suite/platform/Files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

namespace {

constexpr const char* kModule = "Utility";

std::string TempDirectory(const char* dir)
{
    if (dir != nullptr && *dir != '\0')
        return dir;
    const char* fromEnvironment = std::getenv("TMPDIR");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    return "/tmp";
}

char* CopyToHeap(const std::string& text)
{
    char* out = new (std::nothrow) char[text.size() + 1];
    if (out != nullptr)
        std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

} // namespace

char* VEXGetTempFileName(const char* dir, const char* prefix)
{
    std::string name = prefix ? prefix : "";
    if (name.find('/') != std::string::npos) {
        errno = EINVAL;
        return nullptr;
    }
    std::string path = locmail::PathJoin(TempDirectory(dir), name + "XXXXXX");
    int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    ::close(fd);
    char* out = CopyToHeap(path);
    if (out == nullptr) {
        ::unlink(path.c_str());
        errno = ENOMEM;
    }
    return out;
}

void FreeString(char* name) { delete[] name; }

void MimeFreeFile(char* name)
{
    if (name != nullptr && ::unlink(name) != 0 && errno != ENOENT) {
        LogMessage(2, kModule, "Cannot remove temporary file %s: %s", name,
                   std::system_category().message(errno).c_str());
    }
    FreeString(name);
}
