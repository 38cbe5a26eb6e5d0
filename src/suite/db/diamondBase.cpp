#include "suite/db/diamondBase.h"

#include "suite/platform/ForkGeneration.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <list>
#include <unordered_map>

namespace {

using locmail::db::Connection;

std::atomic<unsigned long long> g_opens{0};
std::atomic<std::size_t> g_capacityOverride{0};

// A filing uses four relations of its home. Reopening an evicted one costs
// far more than the filing itself (the WAL is read back, the shared index
// mapped again: about 0.8 ms each here, against 0.2 ms for a whole filing),
// so the cache holds the relations of 128 homes: about 70 KiB and three
// descriptors each, 35 MB and 1,536 files at most however many homes a
// thread serves.
constexpr std::size_t kMostCached = 512;

// Leave room for everything else the process opens; three descriptors per connection.
std::size_t DefaultCapacity()
{
    struct rlimit lim;
    rlim_t soft = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY)
        soft = lim.rlim_cur;
    rlim_t spare = soft > 512 ? soft - 256 : soft / 2;
    std::size_t n = static_cast<std::size_t>(spare / 3);
    return n < 16 ? 16 : (n > kMostCached ? kMostCached : n);
}

class ConnectionCache {
public:
    ~ConnectionCache()
    {
        if (generation_ != locmail::ForkGeneration())
            Abandon();
    }

    std::shared_ptr<Connection> Find(const std::string& path)
    {
        CheckProcess();
        auto it = index_.find(path);
        if (it == index_.end())
            return nullptr;
        if (!it->second->second->StillAtPath()) {
            lru_.erase(it->second);
            index_.erase(it);
            return nullptr;
        }
        lru_.splice(lru_.begin(), lru_, it->second); // most recent first
        return it->second->second;
    }

    // An evicted connection closes without folding its WAL in (that would cost
    // two syncs per eviction); the WAL stays valid beside its database.
    void Insert(const std::string& path, std::shared_ptr<Connection> conn)
    {
        CheckProcess();
        conn->SetCheckpointOnClose(false);
        lru_.emplace_front(path, std::move(conn));
        index_[path] = lru_.begin();
        const std::size_t cap = Capacity();
        while (lru_.size() > cap) {
            index_.erase(lru_.back().first);
            lru_.pop_back(); // closes unless a relation object still holds it
        }
    }

    // An explicit close folds each WAL in, leaving every database file whole by itself.
    void Clear()
    {
        CheckProcess();
        for (auto& entry : lru_)
            entry.second->SetCheckpointOnClose(true);
        index_.clear();
        lru_.clear();
    }

    std::size_t Size() const { return lru_.size(); }

    static std::size_t Capacity()
    {
        static const std::size_t byLimit = DefaultCapacity();
        std::size_t o = g_capacityOverride.load(std::memory_order_relaxed);
        return o != 0 ? o : byLimit;
    }

private:
    using Entry = std::pair<std::string, std::shared_ptr<Connection>>;

    // Connections inherited through fork() belong to the parent: never touch them.
    void CheckProcess()
    {
        if (generation_ == locmail::ForkGeneration())
            return;
        Abandon();
        generation_ = locmail::ForkGeneration();
    }

    void Abandon()
    {
        for (auto& entry : lru_)
            new std::shared_ptr<Connection>(std::move(entry.second)); // deliberately leaked
        index_.clear();
        lru_.clear();
    }

    unsigned generation_ = locmail::ForkGeneration();
    std::list<Entry> lru_;
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

ConnectionCache& Cache()
{
    thread_local ConnectionCache cache;
    return cache;
}

} // namespace

std::shared_ptr<Connection> diamondBase::Open(const std::string& dbPath, const locmail::db::Schema& schema,
                                              std::string& error, int* errorCode)
{
    ConnectionCache& cache = Cache();
    if (auto found = cache.Find(dbPath))
        return found;
    std::shared_ptr<Connection> conn = Connection::Open(dbPath, schema, error, errorCode);
    if (!conn)
        return nullptr;
    g_opens.fetch_add(1, std::memory_order_relaxed);
    cache.Insert(dbPath, conn);
    return conn;
}

void diamondBase::CloseAll() { Cache().Clear(); }

unsigned long long diamondBase::OpenCount() { return g_opens.load(std::memory_order_relaxed); }

std::size_t diamondBase::CachedCount() { return Cache().Size(); }

std::size_t diamondBase::CacheCapacity() { return ConnectionCache::Capacity(); }

void diamondBase::SetCacheCapacity(std::size_t capacity)
{
    g_capacityOverride.store(capacity, std::memory_order_relaxed);
}
