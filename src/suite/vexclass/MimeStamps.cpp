#include "suite/vexclass/MimeStamps.h"

#include "suite/vexclass/HostName.h"

#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <random>

namespace locmail::mime {

namespace {

uint64_t RandomWord()
{
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}()};
    std::lock_guard<std::mutex> lock(mutex);
    return engine();
}

} // namespace

std::string NewMessageId(const std::string& host)
{
    static std::atomic<unsigned> counter{0};
    char local[96];
    std::snprintf(local, sizeof local, "%" PRIx64 ".%x.%x.%" PRIx64, static_cast<uint64_t>(std::time(nullptr)),
                  static_cast<unsigned>(::getpid()), counter.fetch_add(1) + 1, RandomWord());
    return std::string("<") + local + "@" + host + ">";
}

Stamps ResolveStamps(const Stamps& given)
{
    Stamps out = given;
    if (out.hostName.empty())
        out.hostName = LocalHostName();
    if (out.messageId.empty())
        out.messageId = NewMessageId(out.hostName);
    return out;
}

} // namespace locmail::mime
