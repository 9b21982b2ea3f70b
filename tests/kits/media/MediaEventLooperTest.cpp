#include "kits/media/MediaEventLooper.h"

#include "kits/media/BufferGroup.h"
#include "tests/support/MediaNodesTest.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using test_support::Await;
using test_support::TestConsumer;

constexpr bigtime_t HOUR = 3600000000LL;

using MediaEventLooperTest = test_support::MediaNodesTest;

TEST_F(MediaEventLooperTest, RunStateFollowsStartAndStopAndThePriorityIsKept)
{
    EXPECT_GE(consumer->ControlThread(), 0);
    EXPECT_EQ(consumer->RunState(), BMediaEventLooper::B_STOPPED);
    ASSERT_EQ(roster->StartNode(consumer->Node(), consumer->TimeSource()->Now()), B_OK);
    EXPECT_TRUE(Await([&] { return consumer->RunState() == BMediaEventLooper::B_STARTED; }));
    // Started, the thread has applied its first priority.
    consumer->SetPriority(B_REAL_TIME_DISPLAY_PRIORITY);
    EXPECT_EQ(consumer->Priority(), B_REAL_TIME_DISPLAY_PRIORITY);
    EXPECT_GT(consumer->SchedulingLatency(), 0);

    // A stop far in the future waits; an immediate one acts before the call returns.
    bigtime_t later = consumer->TimeSource()->Now() + HOUR;
    ASSERT_EQ(roster->StopNode(consumer->Node(), later, false), B_OK);
    EXPECT_EQ(consumer->RunState(), BMediaEventLooper::B_STARTED);
    ASSERT_EQ(roster->StopNode(consumer->Node(), later, true), B_OK);
    EXPECT_EQ(consumer->RunState(), BMediaEventLooper::B_STOPPED);
}

TEST_F(MediaEventLooperTest, EventsAreHandledInTimeOrderAtTheirTimeLessTheEventLatency)
{
    const bigtime_t now = consumer->TimeSource()->Now();
    // Added out of order; the one 50 ms in the past is handled at once.
    consumer->AddMark(now + 40000);
    consumer->AddMark(now + 10000);
    consumer->AddMark(now - 50000);
    consumer->AddMark(now + 20000);
    ASSERT_TRUE(Await([&] { return consumer->Marks().size() == 4; }));
    const std::vector<TestConsumer::Mark> marks = consumer->Marks();
    const bigtime_t order[] = {now - 50000, now + 10000, now + 20000, now + 40000};
    for (size_t i = 0; i < marks.size(); i++) {
        EXPECT_EQ(marks[i].eventTime, order[i]);
        EXPECT_GE(marks[i].performanceNow, order[i]) << "handled before its time";
        EXPECT_GE(marks[i].lateness, 0);
        EXPECT_LE(marks[i].lateness, marks[i].performanceNow - order[i]);
    }
    EXPECT_GE(marks[0].lateness, 50000);

    // The event latency dispatches early.
    consumer->SetEventLatency(HOUR);
    consumer->AddMark(consumer->TimeSource()->Now() + HOUR + 20000);
    ASSERT_TRUE(Await([&] { return consumer->Marks().size() == 5; }));
    EXPECT_LT(consumer->Marks()[4].lateness, -HOUR / 2);
}

TEST_F(MediaEventLooperTest, QuitRecyclesEveryQueuedBuffer)
{
    BBufferGroup group(64, 3);
    bigtime_t far = consumer->TimeSource()->Now() + HOUR;
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
    EXPECT_EQ(consumer->Handled(), 0);
}

TEST_F(MediaEventLooperTest, QuitWaitsForTheHookInProgress)
{
    consumer->blocker.BlockControlThread(consumer.get());
    ASSERT_TRUE(consumer->blocker.Holding());
    // The hook ends only once Quit has begun, so Quit finds it running.
    std::thread releaser([&] {
        Await([&] { return consumer->RunState() == BMediaEventLooper::B_QUITTING; });
        consumer->blocker.Release();
    });
    consumer->Quit();
    EXPECT_FALSE(consumer->blocker.Holding()) << "Quit returned while the hook still ran";
    releaser.join();
}

TEST_F(MediaEventLooperTest, QuittingFromTheControlThreadStopsTheProcessInEveryBuild)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            consumer->options.measure = [this](uint8*, size_t, const media_video_display_info&) {
                consumer->Quit();
                return std::any();
            };
            ASSERT_EQ(ConnectNodes(test_support::RawVideo(B_RGB32)), B_OK);
            ASSERT_EQ(producer->SendFrame(0), B_OK);
            // Only reached when the control thread went on.
            Await([] { return false; });
        },
        "cannot quit itself");
}

} // namespace
