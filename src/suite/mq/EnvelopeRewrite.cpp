#include "suite/mq/EnvelopeRewrite.h"

#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace locmail::mq {

bool ReplaceEnvelope(const QueuePaths& paths, uint32_t id, const EnvelopeData& envelope, const std::string& target,
                     std::string& fault)
{
    std::string fresh = paths.TmpFile(id, ".new");
    UniqueFd fd(::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0640));
    bool ok = fd && WriteAll(fd.get(), FormatEnvelopeFile(envelope)) && Fsync(fd.get()) &&
              ::rename(fresh.c_str(), target.c_str()) == 0;
    if (!ok) {
        fault = std::string("cannot write ") + fresh + ": " + std::strerror(errno);
        ::unlink(fresh.c_str());
    }
    return ok;
}

} // namespace locmail::mq
