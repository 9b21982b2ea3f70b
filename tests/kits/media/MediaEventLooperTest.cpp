#include "kits/media/MediaEventLooper.h"

#include "kits/media/BufferGroup.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using test_support::Await;
using test_support::TestConsumer;

class MediaEventLooperTest : public testing::Test {
protected:
    void SetUp() override
    {
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        consumer = std::make_unique<TestConsumer>();
        ASSERT_EQ(roster->RegisterNode(consumer.get()), B_OK);
    }

    void TearDown() override
    {
        roster->UnregisterNode(consumer.get());
        consumer.reset();
        kits::media::ResetMediaFaults();
    }

    size_t Marks()
    {
        std::lock_guard guard(consumer->lock);
        return consumer->marks.size();
    }

    BMediaRoster* roster = nullptr;
    std::unique_ptr<TestConsumer> consumer;
};

TEST_F(MediaEventLooperTest, RunStateFollowsStartAndStop)
{
    EXPECT_GE(consumer->ControlThread(), 0);
    EXPECT_EQ(consumer->RunState(), BMediaEventLooper::B_STOPPED);
    ASSERT_EQ(roster->StartNode(consumer->Node(), consumer->TimeSource()->Now()), B_OK);
    EXPECT_TRUE(Await([&] { return consumer->RunState() == BMediaEventLooper::B_STARTED; }));

    // A stop far in the future waits; an immediate one acts before the call returns.
    bigtime_t later = consumer->TimeSource()->Now() + 3600000000LL;
    ASSERT_EQ(roster->StopNode(consumer->Node(), later, false), B_OK);
    EXPECT_EQ(consumer->RunState(), BMediaEventLooper::B_STARTED);
    ASSERT_EQ(roster->StopNode(consumer->Node(), later, true), B_OK);
    EXPECT_EQ(consumer->RunState(), BMediaEventLooper::B_STOPPED);
    std::lock_guard guard(consumer->lock);
    EXPECT_EQ(consumer->stops, 1);
}

TEST_F(MediaEventLooperTest, EventIsHandledAtItsTimeWithItsLateness)
{
    bigtime_t due = consumer->TimeSource()->Now() + 30000;
    consumer->Mark(due);
    ASSERT_TRUE(Await([&] { return Marks() == 1; }));
    std::lock_guard guard(consumer->lock);
    const TestConsumer::Marked& mark = consumer->marks[0];
    EXPECT_EQ(mark.eventTime, due);
    EXPECT_GE(mark.performanceNow, due) << "handled before its time";
    EXPECT_GE(mark.lateness, 0);
    EXPECT_LE(mark.lateness, mark.performanceNow - due);
}

TEST_F(MediaEventLooperTest, LateEventReportsHowLateItIs)
{
    bigtime_t due = consumer->TimeSource()->Now() - 50000;
    consumer->Mark(due);
    ASSERT_TRUE(Await([&] { return Marks() == 1; }));
    std::lock_guard guard(consumer->lock);
    EXPECT_GE(consumer->marks[0].lateness, 50000);
}

TEST_F(MediaEventLooperTest, EventLatencyDispatchesEarly)
{
    consumer->SetEventLatency(3600000000LL);
    bigtime_t due = consumer->TimeSource()->Now() + 3600000000LL + 20000;
    consumer->Mark(due);
    ASSERT_TRUE(Await([&] { return Marks() == 1; }));
    std::lock_guard guard(consumer->lock);
    EXPECT_LT(consumer->marks[0].lateness, -3500000000LL);
}

TEST_F(MediaEventLooperTest, EventsAreHandledInTimeOrder)
{
    bigtime_t now = consumer->TimeSource()->Now();
    consumer->Mark(now + 40000);
    consumer->Mark(now + 10000);
    consumer->Mark(now + 20000);
    ASSERT_TRUE(Await([&] { return Marks() == 3; }));
    std::lock_guard guard(consumer->lock);
    EXPECT_EQ(consumer->marks[0].eventTime, now + 10000);
    EXPECT_EQ(consumer->marks[1].eventTime, now + 20000);
    EXPECT_EQ(consumer->marks[2].eventTime, now + 40000);
}

TEST_F(MediaEventLooperTest, QuitRecyclesEveryQueuedBuffer)
{
    BBufferGroup group(64, 3);
    bigtime_t far = consumer->TimeSource()->Now() + 3600000000LL;
    for (int32 i = 0; i < 3; i++) {
        BBuffer* buffer = group.RequestBuffer(0, 0);
        ASSERT_NE(buffer, nullptr);
        consumer->EventQueue()->AddEvent(media_timed_event(far + i,
            BTimedEventQueue::B_HANDLE_BUFFER, buffer, BTimedEventQueue::B_RECYCLE_BUFFER));
    }
    EXPECT_EQ(test_support::CountFreeBuffers(group), 0);
    consumer->Quit();
    EXPECT_EQ(consumer->RunState(), BMediaEventLooper::B_TERMINATED);
    EXPECT_EQ(test_support::CountFreeBuffers(group), 3);
    EXPECT_EQ(consumer->Run(), B_NOT_ALLOWED);
    std::lock_guard guard(consumer->lock);
    EXPECT_EQ(consumer->handled, 0);
}

TEST_F(MediaEventLooperTest, QuitWaitsForTheHookInProgress)
{
    consumer->blocker.BlockControlThread(consumer.get());
    ASSERT_TRUE(consumer->blocker.Holding());
    std::thread releaser([&] {
        snooze(20000);
        consumer->blocker.Release();
    });
    consumer->Quit();
    EXPECT_FALSE(consumer->blocker.Holding()) << "Quit returned while the hook still ran";
    releaser.join();
}

TEST_F(MediaEventLooperTest, SetPriorityIsKept)
{
    // Once the thread serves requests it has applied its first priority.
    ASSERT_EQ(roster->StartNode(consumer->Node(), 0), B_OK);
    consumer->SetPriority(B_REAL_TIME_DISPLAY_PRIORITY);
    EXPECT_EQ(consumer->Priority(), B_REAL_TIME_DISPLAY_PRIORITY);
    EXPECT_GT(consumer->SchedulingLatency(), 0);
}

} // namespace
