#include "kits/kernel/OS.h"

#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

int32 StoreAndReturn(void* data)
{
    auto* value = static_cast<std::atomic<int32>*>(data);
    value->store(find_thread(nullptr));
    return 42;
}

int32 DetachSelf(void* data)
{
    static_cast<std::atomic<status_t>*>(data)->store(detach_thread(find_thread(nullptr)));
    return 0;
}

} // namespace

TEST(ThreadTest, SpawnedThreadRunsOnlyAfterResumeAndReturnsItsValue)
{
    // A high priority is best effort and never fails the spawn.
    for (int32 priority : {B_NORMAL_PRIORITY, B_REAL_TIME_DISPLAY_PRIORITY}) {
        SCOPED_TRACE(priority);
        std::atomic<int32> seen{0};
        thread_id thread = spawn_thread(StoreAndReturn, "worker", priority, &seen);
        ASSERT_GT(thread, 0);
        EXPECT_EQ(seen.load(), 0);
        EXPECT_EQ(set_thread_priority(thread, B_URGENT_DISPLAY_PRIORITY), priority);
        ASSERT_EQ(resume_thread(thread), B_OK);
        status_t exitValue = 0;
        ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
        EXPECT_EQ(exitValue, 42);
        EXPECT_EQ(seen.load(), thread);
        EXPECT_EQ(wait_for_thread(thread, &exitValue), B_BAD_THREAD_ID);
    }
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
}

TEST(ThreadTest, DetachedThreadCannotBeWaitedForAndLeavesTheTableAsItEnds)
{
    std::atomic<status_t> detached{1};
    thread_id thread = spawn_thread(DetachSelf, "detaching", B_NORMAL_PRIORITY, &detached);
    ASSERT_EQ(resume_thread(thread), B_OK);
    ASSERT_TRUE(test_support::Await([&] { return detached.load() != 1; }));
    EXPECT_EQ(detached.load(), B_OK);
    EXPECT_EQ(wait_for_thread(thread, nullptr), B_BAD_THREAD_ID);
    EXPECT_EQ(detach_thread(thread), B_BAD_THREAD_ID);
    EXPECT_TRUE(test_support::Await(
        [&] { return set_thread_priority(thread, B_NORMAL_PRIORITY) == B_BAD_THREAD_ID; }));
}
