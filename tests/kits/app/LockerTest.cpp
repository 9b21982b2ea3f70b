#include "kits/app/Locker.h"

#include <gtest/gtest.h>

#include <thread>

TEST(LockerTest, OwnerThreadLocksRecursively)
{
    BLocker locker("recursive");
    EXPECT_STREQ(locker.Name(), "recursive");
    EXPECT_FALSE(locker.IsLocked());
    EXPECT_EQ(locker.LockingThread(), -1);

    ASSERT_TRUE(locker.Lock());
    ASSERT_EQ(locker.LockWithTimeout(0), B_OK);
    ASSERT_TRUE(locker.Lock());
    EXPECT_EQ(locker.CountLocks(), 3);
    EXPECT_TRUE(locker.IsLocked());
    EXPECT_EQ(locker.LockingThread(), find_thread(nullptr));

    locker.Unlock();
    locker.Unlock();
    EXPECT_TRUE(locker.IsLocked());
    locker.Unlock();
    EXPECT_FALSE(locker.IsLocked());
    EXPECT_EQ(locker.CountLocks(), 0);
    EXPECT_EQ(locker.LockingThread(), -1);
}

TEST(LockerTest, OtherThreadTimesOutWhileTheLockIsHeldAndGetsItOnceReleased)
{
    BLocker locker;
    ASSERT_TRUE(locker.Lock());
    const thread_id owner = find_thread(nullptr);
    std::thread([&] {
        EXPECT_EQ(locker.LockingThread(), owner);
        EXPECT_FALSE(locker.IsLocked());
        EXPECT_EQ(locker.CountLocks(), 1);
        bigtime_t start = system_time();
        EXPECT_EQ(locker.LockWithTimeout(20000), B_TIMED_OUT);
        EXPECT_GE(system_time() - start, 20000);
        EXPECT_EQ(locker.LockWithTimeout(0), B_TIMED_OUT);
        EXPECT_EQ(locker.LockWithTimeout(-5), B_TIMED_OUT);
    }).join();
    EXPECT_EQ(locker.LockingThread(), owner);

    status_t waited = B_ERROR;
    thread_id waiterId = -1;
    std::thread waiter([&] {
        waited = locker.LockWithTimeout(B_INFINITE_TIMEOUT);
        waiterId = locker.LockingThread();
        locker.Unlock();
    });
    locker.Unlock();
    waiter.join();
    EXPECT_EQ(waited, B_OK);
    EXPECT_NE(waiterId, owner);
    EXPECT_EQ(locker.LockingThread(), -1);
}
