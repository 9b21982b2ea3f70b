#include "kits/app/Locker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Holds a lock on a thread of its own until told to let go.
class Holder {
public:
    explicit Holder(BLocker& locker)
        :
        worker([this, &locker] {
            locker.Lock();
            {
                std::unique_lock guard(mutex);
                holderId = find_thread(nullptr);
                changed.notify_all();
                changed.wait(guard, [this] { return released; });
            }
            locker.Unlock();
        })
    {
        std::unique_lock guard(mutex);
        changed.wait(guard, [this] { return holderId != -1; });
    }

    ~Holder()
    {
        Release();
        worker.join();
    }

    void Release()
    {
        std::lock_guard guard(mutex);
        released = true;
        changed.notify_all();
    }

    thread_id Id()
    {
        std::lock_guard guard(mutex);
        return holderId;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    thread_id holderId = -1;
    bool released = false;
    std::thread worker;
};

} // namespace

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

TEST(LockerTest, LockWithTimeoutFailsWhileAnotherThreadHoldsTheLock)
{
    BLocker locker;
    Holder holder(locker);
    EXPECT_EQ(locker.LockingThread(), holder.Id());
    EXPECT_FALSE(locker.IsLocked());
    EXPECT_EQ(locker.CountLocks(), 1);

    bigtime_t start = system_time();
    EXPECT_EQ(locker.LockWithTimeout(20000), B_TIMED_OUT);
    EXPECT_GE(system_time() - start, 20000);
    EXPECT_EQ(locker.LockWithTimeout(0), B_TIMED_OUT);
    EXPECT_EQ(locker.LockWithTimeout(-5), B_TIMED_OUT);
    EXPECT_EQ(locker.LockingThread(), holder.Id());

    holder.Release();
    ASSERT_EQ(locker.LockWithTimeout(5000000), B_OK);
    EXPECT_TRUE(locker.IsLocked());
    EXPECT_EQ(locker.CountLocks(), 1);
    locker.Unlock();
}

TEST(LockerTest, WaiterGetsTheLockWhenItIsReleased)
{
    BLocker locker;
    ASSERT_TRUE(locker.Lock());
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
    EXPECT_NE(waiterId, find_thread(nullptr));
    EXPECT_EQ(locker.LockingThread(), -1);
}
