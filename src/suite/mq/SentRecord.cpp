#include "suite/mq/SentRecord.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/QueueClock.h"
#include "suite/mq/RetryPolicy.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace locmail::mq {
namespace {

constexpr int64_t kPruneIntervalSeconds = 3600;
constexpr int64_t kRecordGraceSeconds = 86400;

UniqueFd CreateExclusive(const std::string& path)
{
    return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0640));
}

// sent/ is made by the first outgoing key a queue sees.
UniqueFd CreateRecord(const QueuePaths& paths, const std::string& path)
{
    UniqueFd fd = CreateExclusive(path);
    if (!fd && errno == ENOENT && (MakeDirectory(paths.Sent(), 0750) == 0 || errno == EEXIST))
        fd = CreateExclusive(path);
    return fd;
}

// The entry a record names; none when it is unreadable, empty or cut short.
std::optional<uint32_t> RecordedId(const std::string& path)
{
    std::string text;
    if (!ReadWholeFile(path, text) || text.empty() || text.back() != '\n')
        return std::nullopt;
    text.pop_back();
    return ParseEntryName(text);
}

bool CarriesKey(const QueuePaths& paths, uint32_t id, const std::string& key)
{
    ParsedEnvelope parsed = ReadEntryEnvelope(paths, id);
    return parsed.ok && parsed.data.key == key;
}

} // namespace

SentCheck CheckAndRecordSent(const QueuePaths& paths, const std::string& key, uint32_t id)
{
    SentCheck result;
    const std::string path = paths.SentRecord(key);
    UniqueFd record = CreateRecord(paths, path);
    if (!record && errno == EEXIST) {
        std::optional<uint32_t> carrier = RecordedId(path);
        if (carrier && CarriesKey(paths, *carrier, key)) {
            result.queuedAs = carrier;
            return result;
        }
        // An earlier try that died before its commit point, or an entry gone since: this one takes over.
        if (::unlink(path.c_str()) == 0 || errno == ENOENT)
            record = CreateRecord(paths, path);
    }
    if (!record || !WriteAll(record.get(), EntryName(id) + "\n"))
        result.fault = path + ": " + std::strerror(errno);
    return result;
}

std::size_t PruneSentRecords(const QueuePaths& paths, int64_t cutoff)
{
    std::vector<std::string> names;
    if (!ListNames(paths.Sent(), names))
        return 0;
    std::size_t removed = 0;
    for (const auto& name : names) {
        std::string path = paths.SentRecord(name);
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < cutoff &&
            ::unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}

void PruneSentRecordsWhenDue(const QueuePaths& paths)
{
    static std::atomic<int64_t> lastPrune{0};
    const int64_t now = QueueNowSeconds();
    int64_t last = lastPrune.load(std::memory_order_relaxed);
    // A clock set back makes a prune due at once rather than an hour after the old time.
    if ((now >= last && now - last < kPruneIntervalSeconds) || !lastPrune.compare_exchange_strong(last, now))
        return;
    PruneSentRecords(paths, now - ReadRetryPolicy().maxLifetimeSeconds - kRecordGraceSeconds);
}

} // namespace locmail::mq
