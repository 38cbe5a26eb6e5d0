#include "suite/db/CountingVfs.h"

#include "suite/db/ShmAllocation.h"

#include <sqlite3.h>

#include <atomic>
#include <mutex>

namespace locmail::db {
namespace {

std::atomic<unsigned long long> g_syncs{0};
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_counting;

// Our file object: the header SQLite sees, followed in the same allocation by
// the real VFS's file object.
struct CountingFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<CountingFile*>(f)->real; }

int Close(sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); }
int Read(sqlite3_file* f, void* p, int n, sqlite3_int64 off) { return Real(f)->pMethods->xRead(Real(f), p, n, off); }
int Write(sqlite3_file* f, const void* p, int n, sqlite3_int64 off)
{
    return Real(f)->pMethods->xWrite(Real(f), p, n, off);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) { return Real(f)->pMethods->xTruncate(Real(f), size); }
int Sync(sqlite3_file* f, int flags)
{
    g_syncs.fetch_add(1, std::memory_order_relaxed);
    return Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int Lock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int ShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out)
{
    return Real(f)->pMethods->xShmMap(Real(f), page, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) { return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags); }
void ShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShmUnmap(sqlite3_file* f, int deleteFlag) { return Real(f)->pMethods->xShmUnmap(Real(f), deleteFlag); }
int Fetch(sqlite3_file* f, sqlite3_int64 off, int n, void** out) { return Real(f)->pMethods->xFetch(Real(f), off, n, out); }
int Unfetch(sqlite3_file* f, sqlite3_int64 off, void* p) { return Real(f)->pMethods->xUnfetch(Real(f), off, p); }

// Two method tables: files of a real VFS that offers shared memory and memory
// mapping (version 3, the unix VFS) and files of an older one.
const sqlite3_io_methods kMethodsV3 = {3, Close, Read, Write, Truncate, Sync, FileSize, Lock, Unlock,
                                       CheckReservedLock, FileControl, SectorSize, DeviceCharacteristics,
                                       ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch};
const sqlite3_io_methods kMethodsV1 = {1, Close, Read, Write, Truncate, Sync, FileSize, Lock, Unlock,
                                       CheckReservedLock, FileControl, SectorSize, DeviceCharacteristics,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    auto* file = reinterpret_cast<CountingFile*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    int rc = g_real->xOpen(g_real, name, file->real, flags, outFlags);
    if (file->real->pMethods == nullptr) {
        file->base.pMethods = nullptr; // nothing to close
        return rc;
    }
    file->base.pMethods = file->real->pMethods->iVersion >= 3 ? &kMethodsV3 : &kMethodsV1;
    return rc;
}

void Register()
{
    g_real = sqlite3_vfs_find(nullptr);
    if (g_real == nullptr)
        return;
    (void)InstallShmAllocation(g_real); // a full disk must not kill us through the WAL index's mapping
    g_counting = *g_real; // every other call goes to the real VFS as it is
    g_counting.zName = "locmail-counting";
    g_counting.szOsFile = static_cast<int>(sizeof(CountingFile)) + g_real->szOsFile;
    g_counting.xOpen = Open;
    g_counting.pNext = nullptr;
    if (sqlite3_vfs_register(&g_counting, 0) != SQLITE_OK)
        g_real = nullptr;
}

} // namespace

const char* CountingVfsName()
{
    static std::once_flag once;
    std::call_once(once, Register);
    return g_real != nullptr ? g_counting.zName : nullptr;
}

unsigned long long SqliteSyncCount() { return g_syncs.load(std::memory_order_relaxed); }

} // namespace locmail::db
