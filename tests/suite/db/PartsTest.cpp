#include "TestRelation.h"

#include "suite/db/SqliteErrno.h"
#include "suite/db/SyncPoint.h"
#include "suite/db/TextHeap.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

// syncfs as SyncPoint calls it: on to the C library, and each call that returned 0 noted with the
// file system it synced, so the test sees the sync itself rather than SyncPoint's own count.
namespace {
std::vector<dev_t> g_syncfsDevices;
int g_syncfsFailure = 0; // an errno the next calls fail with instead; 0: none
} // namespace

extern "C" int syncfs(int fd) noexcept
{
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "syncfs"));
    if (g_syncfsFailure != 0) {
        errno = g_syncfsFailure;
        return -1;
    }
    const int rc = real(fd);
    struct stat st {};
    if (rc == 0 && ::fstat(fd, &st) == 0)
        g_syncfsDevices.push_back(st.st_dev);
    return rc;
}

namespace {

TEST(TextHeapTest, TextsComeBackAsWrittenAndMismatchesAreErrors)
{
    testsupport::TempDir tmp;
    const std::string path = tmp / "msgenv.str";
    locmail::db::TextHeap heap(path);
    const std::string big(100000, 'b');
    std::uint64_t a = 0, b = 0, c = 0;
    ASSERT_TRUE(heap.Append("first", a));
    ASSERT_TRUE(heap.Append(big, b));
    ASSERT_TRUE(heap.Append("", c));
    EXPECT_EQ(a, locmail::db::kHeapHeader.size()) << "a new heap starts with its header";

    locmail::db::TextHeap reader(path); // another user of the same file
    std::string out;
    ASSERT_TRUE(reader.Read(b, static_cast<std::uint32_t>(big.size()), out));
    EXPECT_EQ(out, big);
    ASSERT_TRUE(reader.Read(a, 5, out));
    EXPECT_EQ(out, "first");
    ASSERT_TRUE(reader.Read(c, 0, out));
    EXPECT_EQ(out, "");

    EXPECT_FALSE(reader.Read(a, 4, out)) << "wrong length";
    EXPECT_FALSE(reader.Read(a + 1, 5, out)) << "not a record start";
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(b + 100)), 0);
    EXPECT_FALSE(reader.Read(b, static_cast<std::uint32_t>(big.size()), out)) << "torn record";
}

TEST(SqliteErrnoTest, FailuresKeepTheSystemsReasonOrGetTheirOwn)
{
    struct Case {
        int sqlite, system, want;
    } cases[] = {
        {SQLITE_CANTOPEN, EACCES, EACCES},
        {SQLITE_CANTOPEN_ISDIR, 0, EISDIR},
        {SQLITE_IOERR_SHORT_READ, 0, EIO},
        {SQLITE_FULL, 0, ENOSPC},
        {SQLITE_READONLY, 0, EACCES},
        {SQLITE_READONLY_DBMOVED, EROFS, EROFS},
        {SQLITE_NOTADB, 0, locmail::db::kCorruptRelationErrno},
        {SQLITE_CONSTRAINT_UNIQUE, 0, EPROTO},
        {SQLITE_DONE, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(locmail::db::ErrnoOfSqlite(c.sqlite, c.system), c.want) << sqlite3_errstr(c.sqlite);
}

TEST(SyncPointTest, OneSyncfsPerFileSystemRemovedDirectoriesDroppedAndFailuresKept)
{
    testsupport::TempDir tmp;
    locmail::db::SyncPoint();
    std::filesystem::create_directory(tmp / "a");
    std::filesystem::create_directory(tmp / "b");
    for (const char* dir : {"a", "b", "a", "gone"})
        locmail::db::MarkDirty(tmp / dir);
    EXPECT_EQ(locmail::db::PendingSyncCount(), 3u);
    struct stat st {};
    ASSERT_EQ(::stat(tmp.path().c_str(), &st), 0);
    g_syncfsDevices.clear();
    EXPECT_EQ(locmail::db::SyncPoint(), 0);
    EXPECT_EQ(g_syncfsDevices, std::vector<dev_t>{st.st_dev}) << "one syncfs that succeeded, on their file system";
    EXPECT_EQ(locmail::db::PendingSyncCount(), 0u);

    locmail::db::MarkDirty(tmp / "a");
    g_syncfsFailure = EIO;
    EXPECT_EQ(locmail::db::SyncPoint(), EIO);
    g_syncfsFailure = 0;
    EXPECT_EQ(locmail::db::PendingSyncCount(), 1u) << "kept for the next sync point";
    EXPECT_EQ(locmail::db::SyncPoint(), 0);
    EXPECT_EQ(g_syncfsDevices.size(), 2u);
}

} // namespace
