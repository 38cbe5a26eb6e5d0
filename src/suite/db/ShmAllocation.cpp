#include "suite/db/ShmAllocation.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <atomic>
#include <cerrno>

namespace locmail::db {
namespace {

using MmapCall = void* (*)(void*, size_t, int, int, int, off_t);

std::atomic<MmapCall> g_realMmap{nullptr};

bool IsLastingShortage(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO; }

void* AllocatedMmap(void* address, size_t length, int protection, int flags, int fd, off_t offset)
{
    if (fd >= 0 && (protection & PROT_WRITE) != 0 && (flags & MAP_SHARED) != 0) {
        int error;
        do
            error = ::posix_fallocate(fd, offset, static_cast<off_t>(length));
        while (error == EINTR);
        if (IsLastingShortage(error)) {
            errno = error;
            return MAP_FAILED;
        }
    }
    return g_realMmap.load()(address, length, protection, flags, fd, offset);
}

} // namespace

bool InstallShmAllocation(sqlite3_vfs* unixVfs)
{
    if (unixVfs == nullptr || unixVfs->iVersion < 3 || unixVfs->xGetSystemCall == nullptr
        || unixVfs->xSetSystemCall == nullptr)
        return false;
    sqlite3_syscall_ptr current = unixVfs->xGetSystemCall(unixVfs, "mmap");
    if (current == nullptr)
        return false;
    if (current == reinterpret_cast<sqlite3_syscall_ptr>(AllocatedMmap))
        return true;
    g_realMmap = reinterpret_cast<MmapCall>(current);
    return unixVfs->xSetSystemCall(unixVfs, "mmap", reinterpret_cast<sqlite3_syscall_ptr>(AllocatedMmap))
        == SQLITE_OK;
}

} // namespace locmail::db
