#include "kits/media/TimeSource.h"

#include "tests/support/MediaNodesTest.h"

#include <gtest/gtest.h>

namespace {

using test_support::Await;

class TimeSourceTest : public test_support::MediaNodesTest {
protected:
    void SetUp() override
    {
        MediaNodesTest::SetUp();
        clock = std::make_unique<test_support::TestTimeSource>();
        ASSERT_EQ(roster->RegisterNode(clock.get()), B_OK);
    }

    void TearDown() override
    {
        roster->UnregisterNode(clock.get());
        MediaNodesTest::TearDown();
    }

    std::unique_ptr<test_support::TestTimeSource> clock;
};

TEST_F(TimeSourceTest, SystemTimeSourceRunsAtRealTimeUntilSeeked)
{
    media_node node;
    ASSERT_EQ(roster->GetTimeSource(&node), B_OK);
    EXPECT_TRUE(node.kind & B_TIME_SOURCE);
    BTimeSource* system = roster->MakeTimeSourceFor(node);
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->ID(), node.node);
    EXPECT_EQ(consumer->TimeSource(), system) << "every node's time source at first";
    EXPECT_TRUE(system->IsRunning());
    EXPECT_EQ(system->PerformanceTimeFor(123456789), 123456789);
    EXPECT_EQ(system->RealTimeFor(123456789, 1000), 123455789);
    const bigtime_t before = BTimeSource::RealTime();
    const bigtime_t now = system->Now();
    EXPECT_GE(now, before);
    EXPECT_LE(now, BTimeSource::RealTime());

    const bigtime_t real = BTimeSource::RealTime();
    ASSERT_EQ(roster->SeekTimeSource(node, real + 777, real), B_OK);
    EXPECT_EQ(system->PerformanceTimeFor(real + 10), real + 787);
    // Back to performance time = real time, for the other tests.
    ASSERT_EQ(roster->SeekTimeSource(node, real, real), B_OK);
    EXPECT_EQ(system->PerformanceTimeFor(real + 10), real + 10);
    system->Release();
}

TEST_F(TimeSourceTest, PerformanceTimeFollowsSeeksStandsStillWhileStoppedAndDrivesTheNodes)
{
    ASSERT_EQ(roster->StartTimeSource(clock->Node(), 1000), B_OK);
    ASSERT_EQ(roster->SeekTimeSource(clock->Node(), 50000, 2000), B_OK);
    EXPECT_TRUE(clock->IsRunning());
    EXPECT_EQ(clock->PerformanceTimeFor(2000), 50000);
    EXPECT_EQ(clock->PerformanceTimeFor(12000), 60000);
    EXPECT_EQ(clock->RealTimeFor(60000, 0), 12000);
    EXPECT_EQ(clock->RealTimeFor(60000, 500), 11500);
    EXPECT_EQ(roster->StartTimeSource(consumer->Node(), 0), B_MEDIA_BAD_NODE)
        << "not a time source";

    const bigtime_t now = BTimeSource::RealTime();
    ASSERT_EQ(roster->SeekTimeSource(clock->Node(), 0, now), B_OK);
    ASSERT_EQ(roster->StopTimeSource(clock->Node(), now + 1000), B_OK);
    EXPECT_FALSE(clock->IsRunning());
    EXPECT_EQ(clock->PerformanceTimeFor(now + 5000), 1000);
    EXPECT_EQ(clock->Now(), 1000);
    ASSERT_EQ(roster->StartTimeSource(clock->Node(), now + 10000), B_OK);
    EXPECT_TRUE(clock->IsRunning());
    EXPECT_EQ(clock->PerformanceTimeFor(now + 12000), 3000);

    // A node follows its time source when it is seeked.
    ASSERT_EQ(roster->SetTimeSourceFor(consumer->ID(), clock->ID()), B_OK);
    EXPECT_EQ(consumer->TimeSource(), clock.get());
    BTimeSource* made = roster->MakeTimeSourceFor(consumer->Node());
    EXPECT_EQ(made, clock.get());
    made->Release();

    // Due in an hour on the test clock, until the clock jumps there.
    const bigtime_t hour = 3600000000LL;
    consumer->AddMark(hour);
    ASSERT_EQ(roster->SeekTimeSource(clock->Node(), hour, BTimeSource::RealTime()), B_OK);
    ASSERT_TRUE(Await([&] { return consumer->Marks().size() == 1; }));
    EXPECT_GE(consumer->Marks()[0].performanceNow, hour);
}

} // namespace
