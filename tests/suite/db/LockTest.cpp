#include "TestRelation.h"

#include "suite/platform/UniqueFd.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <thread>

namespace {

using dbtest::ChildHolder;
using dbtest::notes;
using dbtest::OtherProcessCanLock;
using locmail::db::kWaitForever;

class LockTest : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    diamondBase base;
    std::string lockPath = tmp / "notes.id0";
};

TEST_F(LockTest, ExclusiveLockKeepsOthersOutUntilEveryHoldIsReleased)
{
    {
        notes rel(&base, tmp.path());
        notes sameFile(&base, tmp.path().string() + "/."); // the same file by another name
        ASSERT_EQ(rel.lock(false, kWaitForever), 0);
        int otherThread = 0;
        std::thread([&] {
            diamondBase own;
            notes mine(&own, tmp.path());
            otherThread = mine.lock(false, 0);
        }).join();
        EXPECT_EQ(otherThread, ETIMEDOUT);
        ASSERT_EQ(sameFile.lock(false, 0), 0) << "no self-deadlock in one thread";
        ASSERT_EQ(sameFile.unlock(), 0);
        EXPECT_FALSE(OtherProcessCanLock(lockPath)) << "still held through the first object";
        ASSERT_EQ(rel.unlock(), 0);
        EXPECT_TRUE(OtherProcessCanLock(lockPath));
        ASSERT_EQ(rel.lock(false, kWaitForever), 0);
        ASSERT_EQ(rel.lock(false, kWaitForever), 0);
    } // destroyed while locked twice
    EXPECT_TRUE(OtherProcessCanLock(lockPath));
    {
        notes rel(&base, tmp.path());
        locmail::db::RelLock guard(rel);
        ASSERT_TRUE(guard.held());
        EXPECT_FALSE(OtherProcessCanLock(lockPath));
    }
    EXPECT_TRUE(OtherProcessCanLock(lockPath));
    notes missing(&base, tmp / "missing");
    EXPECT_EQ(missing.lock(false, kWaitForever), ENOENT);
    EXPECT_FALSE(missing.locked());
}

TEST_F(LockTest, AnotherProcessesLockTimesOutOrIsHandedOverWhenReleased)
{
    {
        ChildHolder holder(lockPath, false);
        notes rel(&base, tmp.path());
        EXPECT_EQ(rel.lock(false, 0), ETIMEDOUT); // a bounded wait's timeout: FilingTest
        EXPECT_FALSE(rel.locked());
        EXPECT_EQ(rel.unlock(), EPERM);
    }
    for (unsigned long wait : {kWaitForever, 30000UL}) {
        ChildHolder holder(lockPath, false);
        notes rel(&base, tmp.path());
        int rc = -1, unlocked = -1;
        std::thread waiter([&] {
            rc = rel.lock(false, wait);
            unlocked = rel.unlock();
        });
        holder.Release();
        waiter.join();
        EXPECT_EQ(rc, 0) << wait;
        EXPECT_EQ(unlocked, 0) << wait;
    }
    ChildHolder shared(lockPath, true);
    notes rel(&base, tmp.path());
    EXPECT_EQ(rel.lock(true, 0), 0) << "shared locks coexist";
    EXPECT_EQ(rel.unlock(), 0);
    EXPECT_EQ(rel.lock(false, 0), ETIMEDOUT);
    // A wait told to stop ends at once, however long it was allowed to be.
    locmail::UniqueFd fd(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(locmail::LockFd(fd.get(), locmail::LockKind::Exclusive, kWaitForever, [] { return true; }), ECANCELED);
}

// flock converts by dropping the shared lock first, even when the conversion
// then fails: the registry refuses instead, and the shared lock stays held.
TEST_F(LockTest, SharedHolderAskingForExclusiveIsRefusedAndKeepsOthersOut)
{
    notes rel(&base, tmp.path());
    ASSERT_EQ(rel.lock(true, 0), 0);
    ChildHolder otherReader(lockPath, true); // a conversion would have to wait for it
    EXPECT_EQ(rel.lock(false, 50), EDEADLK);
    otherReader.Release();
    EXPECT_FALSE(OtherProcessCanLock(lockPath)) << "a writer got in while the reader still holds on";
    EXPECT_EQ(rel.lock(false, 0), EDEADLK) << "refused also when nobody else holds it";
    EXPECT_FALSE(OtherProcessCanLock(lockPath));
    ASSERT_EQ(rel.unlock(), 0);
    EXPECT_EQ(rel.unlock(), EPERM) << "the refusals took no hold";
    ASSERT_EQ(rel.lock(false, 0), 0) << "released, then asked again: exclusive";
    EXPECT_EQ(rel.lock(true, 0), 0) << "a writer may also read";
    EXPECT_FALSE(OtherProcessCanLock(lockPath));
}

} // namespace
