#include "kits/media/BufferProducer.h"

#include "kits/media/TimeSource.h"
#include "tests/support/MediaNodesTest.h"

#include <gtest/gtest.h>

namespace {

using test_support::Await;

constexpr bigtime_t HOUR = 3600000000LL;

// The consumer queues each buffer at its start time and says buffers may come when due.
class BufferProducerTest : public test_support::MediaNodesTest {
protected:
    BufferProducerTest() { consumerOptions = {.queueBuffers = true, .receiveWhenDue = true}; }

    void SetUp() override
    {
        MediaNodesTest::SetUp();
        ASSERT_EQ(ConnectNodes(test_support::RawVideo(B_RGB32)), B_OK);
    }
};

TEST_F(BufferProducerTest, AnOptedInConsumerGetsEachBufferAtItsStartTimeAndWakesOnceForIt)
{
    StartConsumer();
    BTimeSource* timeSource = consumer->TimeSource();
    const uint64 wakeUps = consumer->WakeUps();
    // One at a time, as a card sends them.
    for (size_t i = 0; i < 3; i++) {
        const bigtime_t startTime = timeSource->Now() + 20000;
        ASSERT_EQ(producer->SendFrame(startTime), B_OK);
        ASSERT_TRUE(Await([&] { return consumer->Marks().size() == i + 1; }));
        EXPECT_GE(consumer->Frames()[i].arrival, timeSource->RealTimeFor(startTime, 0));
        EXPECT_GE(consumer->Marks()[i].lateness, 0);
    }
    EXPECT_EQ(consumer->WakeUps() - wakeUps, 3u)
        << "not one to receive a buffer and one to show it";
}

struct Delivery {
    const char* name;
    bool receiveWhenDue;
    bool started;
    bigtime_t eventLatency;
    bool stoppedTimeSource;
};

class BufferDeliveryTest : public BufferProducerTest,
                           public testing::WithParamInterface<Delivery> {
protected:
    BufferDeliveryTest() { consumerOptions.receiveWhenDue = GetParam().receiveWhenDue; }

    void TearDown() override
    {
        roster->UnregisterNode(&stopped);
        BufferProducerTest::TearDown();
    }

    test_support::TestTimeSource stopped;
};

TEST_P(BufferDeliveryTest, ABufferComesAtOnceWhereTheConsumerWouldNotWaitForIt)
{
    const Delivery& entry = GetParam();
    if (entry.started) {
        ASSERT_NO_FATAL_FAILURE(StartConsumer());
    }
    consumer->SetEventLatency(entry.eventLatency);
    if (entry.stoppedTimeSource) {
        ASSERT_EQ(roster->RegisterNode(&stopped), B_OK);
        ASSERT_EQ(roster->SetTimeSourceFor(consumer->ID(), stopped.ID()), B_OK);
    }
    // Stamped an hour ahead: only a buffer handed over at once arrives within the wait.
    ASSERT_EQ(producer->SendFrame(consumer->TimeSource()->Now() + HOUR), B_OK);
    EXPECT_TRUE(consumer->WaitForFrames(1));
}

INSTANTIATE_TEST_SUITE_P(Consumers, BufferDeliveryTest,
    testing::Values(Delivery{"NotOptedIn", false, true, 0, false},
        Delivery{"NotStarted", true, false, 0, false},
        Delivery{"HandlingAnHourEarly", true, true, HOUR, false},
        Delivery{"OnAStoppedTimeSource", true, true, 0, true}),
    [](const testing::TestParamInfo<Delivery>& info) { return info.param.name; });

} // namespace
