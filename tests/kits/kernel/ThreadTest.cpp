#include "kits/kernel/OS.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

int32 StoreAndReturn(void* data)
{
    auto* value = static_cast<std::atomic<int32>*>(data);
    value->store(find_thread(nullptr));
    return 42;
}

} // namespace

TEST(ThreadTest, SpawnedThreadRunsOnlyAfterResumeAndReturnsItsValue)
{
    std::atomic<int32> seen{0};
    thread_id thread = spawn_thread(StoreAndReturn, "worker", B_NORMAL_PRIORITY, &seen);
    ASSERT_GT(thread, 0);
    EXPECT_EQ(seen.load(), 0);
    ASSERT_EQ(resume_thread(thread), B_OK);
    status_t exitValue = 0;
    ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
    EXPECT_EQ(exitValue, 42);
    EXPECT_EQ(seen.load(), thread);
    EXPECT_EQ(wait_for_thread(thread, &exitValue), B_BAD_THREAD_ID);
}

TEST(ThreadTest, HighPriorityIsBestEffortAndNeverFailsTheSpawn)
{
    std::atomic<int32> seen{0};
    thread_id thread = spawn_thread(StoreAndReturn, "display", B_REAL_TIME_DISPLAY_PRIORITY,
        &seen);
    ASSERT_GT(thread, 0);
    EXPECT_EQ(set_thread_priority(thread, B_URGENT_DISPLAY_PRIORITY),
        B_REAL_TIME_DISPLAY_PRIORITY);
    ASSERT_EQ(resume_thread(thread), B_OK);
    ASSERT_EQ(wait_for_thread(thread, nullptr), B_OK);
    EXPECT_EQ(seen.load(), thread);
}

TEST(ThreadTest, CurrentThreadHasAStableId)
{
    thread_id self = find_thread(nullptr);
    EXPECT_GT(self, 0);
    EXPECT_EQ(find_thread(nullptr), self);
    EXPECT_EQ(resume_thread(-5), B_BAD_THREAD_ID);
    EXPECT_EQ(wait_for_thread(self, nullptr), B_BAD_THREAD_ID);
}

TEST(ThreadTest, SnoozeSleepsAtLeastTheGivenTime)
{
    bigtime_t before = system_time();
    snooze(2000);
    EXPECT_GE(system_time() - before, 2000);
    EXPECT_GE(system_time(), before);
}
