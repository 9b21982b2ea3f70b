#include "kits/kernel/OS.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using test_support::Await;

int32 CountOf(sem_id sem)
{
    int32 count = 0;
    EXPECT_EQ(get_sem_count(sem, &count), B_OK);
    return count;
}

} // namespace

TEST(SemaphoreTest, CountsUntilDeletedAndRefusesEverythingAfterwards)
{
    EXPECT_EQ(create_sem(-1, "negative"), B_BAD_VALUE);
    sem_id sem = create_sem(2, "counter");
    ASSERT_GT(sem, 0);
    EXPECT_EQ(acquire_sem(sem), B_OK);
    EXPECT_EQ(acquire_sem(sem), B_OK);
    EXPECT_EQ(CountOf(sem), 0);
    EXPECT_EQ(release_sem_etc(sem, 3, 0), B_OK);
    EXPECT_EQ(acquire_sem_etc(sem, 3, 0, 0), B_OK);
    EXPECT_EQ(CountOf(sem), 0);
    EXPECT_EQ(acquire_sem_etc(sem, 0, 0, 0), B_BAD_VALUE);
    EXPECT_EQ(release_sem_etc(sem, 0, 0), B_BAD_VALUE);
    EXPECT_EQ(get_sem_count(sem, nullptr), B_BAD_VALUE);

    ASSERT_EQ(delete_sem(sem), B_OK);
    int32 count;
    EXPECT_EQ(acquire_sem(sem), B_BAD_SEM_ID);
    EXPECT_EQ(acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT, 1000), B_BAD_SEM_ID);
    EXPECT_EQ(release_sem(sem), B_BAD_SEM_ID);
    EXPECT_EQ(get_sem_count(sem, &count), B_BAD_SEM_ID);
    EXPECT_EQ(delete_sem(sem), B_BAD_SEM_ID);
    // Ids are not reused, so a new semaphore never answers to the old id.
    sem_id next = create_sem(1, "next");
    EXPECT_NE(next, sem);
    EXPECT_EQ(acquire_sem(sem), B_BAD_SEM_ID);
    delete_sem(next);
}

TEST(SemaphoreTest, TimedOutAcquireReturnsTimedOutAndTakesNothing)
{
    sem_id sem = create_sem(1, "timeout");
    bigtime_t before = system_time();
    // Asking for two when one is there must time out and leave the one.
    EXPECT_EQ(acquire_sem_etc(sem, 2, B_RELATIVE_TIMEOUT, 20000), B_TIMED_OUT);
    EXPECT_GE(system_time() - before, 20000);
    EXPECT_EQ(CountOf(sem), 1);
    EXPECT_EQ(acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT, 20000), B_OK);
    EXPECT_EQ(acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT, 0), B_WOULD_BLOCK);
    EXPECT_EQ(acquire_sem_etc(sem, 1, B_ABSOLUTE_TIMEOUT, system_time() + 5000),
        B_TIMED_OUT);
    EXPECT_EQ(CountOf(sem), 0);
    delete_sem(sem);
}

TEST(SemaphoreTest, WaitersWakeOnAReleaseOrWithBadSemIdWhenItIsDeleted)
{
    sem_id sem = create_sem(0, "doomed");
    std::atomic<status_t> result{B_ERROR};
    std::thread waiter([&] { result = acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT, 10000000); });
    ASSERT_TRUE(Await([&] { return CountOf(sem) == -1; }));
    EXPECT_EQ(release_sem(sem), B_OK);
    waiter.join();
    EXPECT_EQ(result.load(), B_OK);
    EXPECT_EQ(CountOf(sem), 0);

    constexpr int waiters = 4;
    std::vector<std::thread> threads;
    std::atomic<int> badIds{0};
    for (int i = 0; i < waiters; i++) {
        threads.emplace_back([&, i] {
            status_t status = i % 2 == 0 ? acquire_sem(sem)
                                         : acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT,
                                             60000000);
            if (status == B_BAD_SEM_ID)
                badIds++;
        });
    }
    ASSERT_TRUE(Await([&] { return CountOf(sem) == -waiters; }));
    EXPECT_EQ(delete_sem(sem), B_OK);
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(badIds.load(), waiters);
}

TEST(SemaphoreTest, WaitersAreServedInArrivalOrder)
{
    sem_id sem = create_sem(0, "fifo");
    // A large request at the head holds back a small one behind it, so a stream
    // of small requests cannot starve it.
    std::atomic<bool> bigDone{false};
    std::atomic<bool> smallDone{false};
    std::thread big([&] {
        EXPECT_EQ(acquire_sem_etc(sem, 2, 0, 0), B_OK);
        bigDone = true;
    });
    ASSERT_TRUE(Await([&] { return CountOf(sem) == -2; }));
    std::thread small([&] {
        EXPECT_EQ(acquire_sem(sem), B_OK);
        smallDone = true;
    });
    ASSERT_TRUE(Await([&] { return CountOf(sem) == -3; }));
    release_sem(sem);
    // One unit is there, but the head wants two: nobody may take it.
    EXPECT_EQ(CountOf(sem), -2);
    EXPECT_FALSE(bigDone.load());
    EXPECT_FALSE(smallDone.load());
    // Two units: the head takes both, and the one behind it still waits.
    release_sem(sem);
    big.join();
    EXPECT_EQ(CountOf(sem), -1);
    EXPECT_FALSE(smallDone.load());
    release_sem(sem);
    small.join();
    EXPECT_TRUE(smallDone.load());
    delete_sem(sem);
}

TEST(SemaphoreTest, TimedOutWaiterAtTheHeadLetsTheNextOneThrough)
{
    sem_id sem = create_sem(1, "head");
    std::atomic<status_t> bigResult{B_ERROR};
    std::atomic<status_t> smallResult{B_ERROR};
    std::thread big([&] { bigResult = acquire_sem_etc(sem, 5, B_RELATIVE_TIMEOUT, 30000); });
    ASSERT_TRUE(Await([&] { return CountOf(sem) == -4; }));
    std::thread small([&] { smallResult = acquire_sem(sem); });
    big.join();
    small.join();
    EXPECT_EQ(bigResult.load(), B_TIMED_OUT);
    EXPECT_EQ(smallResult.load(), B_OK);
    delete_sem(sem);
}
