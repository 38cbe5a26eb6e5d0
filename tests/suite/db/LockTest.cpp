#include "TestRelation.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
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

TEST_F(LockTest, ExclusiveLockKeepsOtherProcessesOutUntilUnlocked)
{
    notes rel(&base, tmp.path());
    ASSERT_EQ(rel.lock(false, kWaitForever), 0);
    EXPECT_FALSE(OtherProcessCanLock(lockPath));
    ASSERT_EQ(rel.unlock(), 0);
    EXPECT_TRUE(OtherProcessCanLock(lockPath));
}

TEST_F(LockTest, WaitRunsOutAfterTheGivenTime)
{
    ChildHolder holder(lockPath, false);
    notes rel(&base, tmp.path());
    EXPECT_EQ(rel.lock(false, 0), ETIMEDOUT);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rel.lock(false, 60), ETIMEDOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
    EXPECT_FALSE(rel.locked());
    EXPECT_EQ(rel.unlock(), EPERM);
}

TEST_F(LockTest, WaiterGetsTheLockWhenTheHolderLetsGo)
{
    ChildHolder holder(lockPath, false);
    notes rel(&base, tmp.path());
    ASSERT_EQ(rel.lock(false, 0), ETIMEDOUT);
    int rc = -1;
    int unlocked = -1;
    std::thread waiter([&] {
        rc = rel.lock(false, kWaitForever);
        unlocked = rel.unlock();
    });
    holder.Release();
    waiter.join();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(unlocked, 0);
}

TEST_F(LockTest, TimedWaiterGetsTheLockWhenTheHolderLetsGoInTime)
{
    ChildHolder holder(lockPath, false);
    notes rel(&base, tmp.path());
    int rc = -1;
    std::thread waiter([&] {
        rc = rel.lock(false, 30000);
        rel.unlock();
    });
    holder.Release();
    waiter.join();
    EXPECT_EQ(rc, 0);
}

TEST_F(LockTest, SharedLocksCoexistAndKeepExclusiveOut)
{
    ChildHolder holder(lockPath, true);
    notes rel(&base, tmp.path());
    EXPECT_EQ(rel.lock(true, 0), 0);
    EXPECT_EQ(rel.unlock(), 0);
    EXPECT_EQ(rel.lock(false, 0), ETIMEDOUT);
}

TEST_F(LockTest, SameThreadMayLockAgainThroughAnotherRelationObject)
{
    notes first(&base, tmp.path());
    notes second(&base, tmp.path().string() + "/."); // the same file by another name
    ASSERT_EQ(first.lock(false, kWaitForever), 0);
    ASSERT_EQ(second.lock(false, 0), 0); // no self-deadlock
    ASSERT_EQ(second.unlock(), 0);
    EXPECT_FALSE(OtherProcessCanLock(lockPath)) << "still held through the first object";
    ASSERT_EQ(first.unlock(), 0);
    EXPECT_TRUE(OtherProcessCanLock(lockPath));
}

TEST_F(LockTest, AnotherThreadIsKeptOut)
{
    notes rel(&base, tmp.path());
    ASSERT_EQ(rel.lock(false, kWaitForever), 0);
    int rc = 0;
    std::thread other([&] {
        diamondBase ownBase;
        notes mine(&ownBase, tmp.path());
        rc = mine.lock(false, 0);
    });
    other.join();
    EXPECT_EQ(rc, ETIMEDOUT);
}

TEST_F(LockTest, GuardAndDestructorRelease)
{
    {
        notes rel(&base, tmp.path());
        locmail::db::RelLock guard(rel);
        ASSERT_TRUE(guard.held());
        EXPECT_FALSE(OtherProcessCanLock(lockPath));
    }
    EXPECT_TRUE(OtherProcessCanLock(lockPath));
    {
        notes rel(&base, tmp.path());
        ASSERT_EQ(rel.lock(false, kWaitForever), 0);
        ASSERT_EQ(rel.lock(false, kWaitForever), 0);
    } // destroyed while locked twice
    EXPECT_TRUE(OtherProcessCanLock(lockPath));
}

TEST_F(LockTest, LockFileThatCannotBeMadeIsAnError)
{
    notes rel(&base, tmp / "missing");
    EXPECT_EQ(rel.lock(false, kWaitForever), ENOENT);
    EXPECT_FALSE(rel.locked());
}

} // namespace
