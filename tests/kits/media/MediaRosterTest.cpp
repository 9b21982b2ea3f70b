#include "kits/media/MediaRoster.h"

#include "kits/media/Buffer.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using test_support::Await;
using test_support::TestConsumer;
using test_support::TestProducer;

media_format RawVideoWildcard()
{
    media_format format;
    format.type = B_MEDIA_RAW_VIDEO;
    format.u.raw_video = media_raw_video_format::wildcard;
    return format;
}

class MediaRosterTest : public testing::Test {
protected:
    void SetUp() override
    {
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        producer = std::make_unique<TestProducer>();
        consumer = std::make_unique<TestConsumer>();
        ASSERT_EQ(roster->RegisterNode(producer.get()), B_OK);
        ASSERT_EQ(roster->RegisterNode(consumer.get()), B_OK);
    }

    void TearDown() override
    {
        roster->UnregisterNode(consumer.get());
        roster->UnregisterNode(producer.get());
        consumer.reset();
        producer.reset();
        kits::media::ResetMediaFaults();
    }

    // Finds the free output and input and connects them at `format`.
    status_t ConnectNodes(media_format format = RawVideoWildcard())
    {
        media_output freeOutput;
        media_input freeInput;
        int32 count = 0;
        if (status_t status = roster->GetFreeOutputsFor(producer->Node(), &freeOutput, 1,
                &count, B_MEDIA_RAW_VIDEO);
            status != B_OK || count != 1) {
            return status != B_OK ? status : B_ERROR;
        }
        if (status_t status = roster->GetFreeInputsFor(consumer->Node(), &freeInput, 1, &count,
                B_MEDIA_RAW_VIDEO);
            status != B_OK || count != 1) {
            return status != B_OK ? status : B_ERROR;
        }
        connectedFormat = format;
        return roster->Connect(freeOutput.source, freeInput.destination, &connectedFormat,
            &output, &input);
    }

    status_t DisconnectNodes()
    {
        return roster->Disconnect(output.node.node, output.source, input.node.node,
            input.destination);
    }

    void StartBoth()
    {
        bigtime_t now = consumer->TimeSource()->Now();
        ASSERT_EQ(roster->StartNode(producer->Node(), now), B_OK);
        ASSERT_EQ(roster->StartNode(consumer->Node(), now), B_OK);
        ASSERT_TRUE(Await([&] {
            return consumer->RunState() == BMediaEventLooper::B_STARTED
                && producer->RunState() == BMediaEventLooper::B_STARTED;
        }));
    }

    size_t Sent()
    {
        std::lock_guard guard(producer->lock);
        return producer->sent.size();
    }

    int32 Handled()
    {
        std::lock_guard guard(consumer->lock);
        return consumer->handled;
    }

    std::vector<std::string> ConsumerLog()
    {
        std::lock_guard guard(consumer->lock);
        return consumer->log;
    }

    std::vector<std::string> ProducerLog()
    {
        std::lock_guard guard(producer->lock);
        return producer->log;
    }

    BMediaRoster* roster = nullptr;
    std::unique_ptr<TestProducer> producer;
    std::unique_ptr<TestConsumer> consumer;
    media_format connectedFormat;
    media_output output;
    media_input input;
};

TEST_F(MediaRosterTest, RegisterNodeGivesAnIdAndCallsNodeRegisteredOnTheCaller)
{
    EXPECT_GT(consumer->ID(), 0);
    EXPECT_NE(consumer->ID(), producer->ID());
    EXPECT_EQ(consumer->input.destination.port, consumer->ControlPort());
    EXPECT_GE(consumer->ControlThread(), 0) << "NodeRegistered ran Run()";
    EXPECT_EQ(roster->RegisterNode(consumer.get()), B_MEDIA_NODE_ALREADY_EXISTS);
    EXPECT_EQ(roster->RegisterNode(nullptr), B_BAD_VALUE);
    media_node found;
    ASSERT_EQ(roster->GetNodeFor(consumer->ID(), &found), B_OK);
    EXPECT_EQ(found, consumer->Node());
    EXPECT_TRUE(found.kind & B_BUFFER_CONSUMER);
    EXPECT_EQ(roster->ReleaseNode(found), B_OK);
    EXPECT_EQ(roster->ReleaseNode(found), B_MEDIA_BAD_NODE);
}

TEST_F(MediaRosterTest, ConnectNegotiatesTheFormatFillingWildcards)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    const media_video_display_info& display = connectedFormat.u.raw_video.display;
    EXPECT_EQ(connectedFormat.type, B_MEDIA_RAW_VIDEO);
    EXPECT_EQ(display.line_width, 64u) << "filled by the producer";
    EXPECT_EQ(display.format, B_RGB32) << "filled by the consumer";
    EXPECT_EQ(display.bytes_per_row, 256u) << "filled by the producer after the consumer";
    EXPECT_EQ(connectedFormat.u.raw_video.field_rate, 50.0f);

    EXPECT_EQ(output.node, producer->Node());
    EXPECT_EQ(input.node, consumer->Node());
    EXPECT_EQ(output.source, input.source);
    EXPECT_EQ(output.destination, input.destination);
    EXPECT_EQ(output.format, connectedFormat);
    EXPECT_EQ(input.format, connectedFormat);
    EXPECT_STREQ(output.name, "Test output");
    EXPECT_EQ(ProducerLog(),
        (std::vector<std::string>{"PrepareToConnect", "SetBufferGroup", "Connect 0"}));

    int32 count = -1;
    ASSERT_EQ(roster->GetFreeOutputsFor(producer->Node(), &output, 1, &count), B_OK);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(roster->GetFreeInputsFor(consumer->Node(), &input, 1, &count), B_OK);
    EXPECT_EQ(count, 0);
}

TEST_F(MediaRosterTest, FormatRefusedByTheConsumerConnectsNothing)
{
    media_format format = RawVideoWildcard();
    format.u.raw_video.display.format = B_RGB24;
    EXPECT_EQ(ConnectNodes(format), B_MEDIA_BAD_FORMAT);
    EXPECT_TRUE(ConsumerLog().empty());
    EXPECT_TRUE(ProducerLog().empty()) << "nothing was prepared";
    EXPECT_EQ(ConnectNodes(), B_OK) << "both ends are still free";
}

TEST_F(MediaRosterTest, FailingConnectedTellsTheProducerAndLeavesBothEndsFree)
{
    consumer->connectedResult = B_ERROR;
    EXPECT_EQ(ConnectNodes(), B_ERROR);
    EXPECT_EQ(ProducerLog(),
        (std::vector<std::string>{"PrepareToConnect", "Connect " + std::to_string(B_ERROR)}));
    consumer->connectedResult = B_OK;
    EXPECT_EQ(ConnectNodes(), B_OK);
}

TEST_F(MediaRosterTest, ConnectingAConnectedEndIsRefused)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    media_format format = RawVideoWildcard();
    media_output again;
    media_input againInput;
    EXPECT_EQ(roster->Connect(output.source, input.destination, &format, &again, &againInput),
        B_MEDIA_ALREADY_CONNECTED);
    EXPECT_EQ(roster->Connect(media_source::null, input.destination, &format, &again,
                  &againInput),
        B_MEDIA_BAD_SOURCE);
}

TEST_F(MediaRosterTest, BuffersFlowIntoTheConsumersGroupOnItsControlThread)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    StartBoth();
    bigtime_t now = producer->TimeSource()->Now();
    for (int32 i = 0; i < 6; i++)
        producer->ProduceAt(now + i * 2000, now + 5000 + i * 2000);
    ASSERT_TRUE(Await([&] { return Handled() == 6; }));
    {
        std::lock_guard guard(producer->lock);
        EXPECT_TRUE(std::all_of(producer->sent.begin(), producer->sent.end(),
            [](status_t status) { return status == B_OK; }));
        EXPECT_TRUE(std::all_of(producer->sentFrom.begin(), producer->sentFrom.end(),
            [](int32 from) { return from == 1; }));
    }
    std::lock_guard guard(consumer->lock);
    EXPECT_EQ(consumer->handledOwn, 6);
    ASSERT_EQ(consumer->receiveThreads.size(), 6u);
    for (thread_id thread : consumer->receiveThreads)
        EXPECT_EQ(thread, consumer->ControlThread());
    EXPECT_EQ(test_support::CountFreeBuffers(*consumer->group), 3);
}

TEST_F(MediaRosterTest, ProducerUsesItsOwnBuffersWhenNoGroupWasHandedOver)
{
    consumer->offerGroup = false;
    ASSERT_EQ(ConnectNodes(), B_OK);
    StartBoth();
    bigtime_t now = producer->TimeSource()->Now();
    for (int32 i = 0; i < 4; i++)
        producer->ProduceAt(now, now + 1000);
    ASSERT_TRUE(Await([&] { return Handled() == 4; }));
    std::lock_guard guard(producer->lock);
    EXPECT_EQ(producer->sentFrom, (std::vector<int32>{2, 2, 2, 2}));
    std::lock_guard consumerGuard(consumer->lock);
    EXPECT_EQ(consumer->handledOwn, 0);
}

TEST_F(MediaRosterTest, StopFlushesQueuedBuffersAndEveryBufferComesBack)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    StartBoth();
    bigtime_t now = producer->TimeSource()->Now();
    for (int32 i = 0; i < 3; i++)
        producer->ProduceAt(now, now + 3600000000LL);
    ASSERT_TRUE(Await([&] { return Sent() == 3; }));
    ASSERT_TRUE(Await([&] { return consumer->EventQueue()->EventCount() == 3; }));
    EXPECT_EQ(test_support::CountFreeBuffers(*consumer->group), 0);

    ASSERT_EQ(roster->StopNode(consumer->Node(), now, true), B_OK);
    EXPECT_EQ(consumer->EventQueue()->EventCount(), 0);
    EXPECT_EQ(test_support::CountFreeBuffers(*consumer->group), 3);
    EXPECT_EQ(Handled(), 0);

    // While stopped, arriving buffers go straight back.
    producer->ProduceAt(now, now);
    ASSERT_TRUE(Await([&] {
        std::lock_guard guard(consumer->lock);
        return consumer->recycledWhileStopped == 1;
    }));
    EXPECT_EQ(consumer->group->ReclaimAllBuffers(), B_OK);
}

TEST_F(MediaRosterTest, DeletingTheConsumerWithBuffersQueuedLosesNone)
{
    consumer->offerGroup = false;
    ASSERT_EQ(ConnectNodes(), B_OK);
    StartBoth();
    bigtime_t now = producer->TimeSource()->Now();
    for (int32 i = 0; i < 3; i++)
        producer->ProduceAt(now, now + 3600000000LL);
    ASSERT_TRUE(Await([&] { return consumer->EventQueue()->EventCount() == 3; }));
    BBufferGroup* own = producer->OwnGroup();
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(test_support::CountFreeBuffers(*own), 0);
    ASSERT_EQ(roster->UnregisterNode(consumer.get()), B_OK);
    EXPECT_EQ(ProducerLog().back(), "Disconnect");
    consumer.reset();
    EXPECT_EQ(test_support::CountFreeBuffers(*own), 3);
}

TEST_F(MediaRosterTest, SendingToAGoneOrUnconnectedDestinationRecyclesAndFails)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    media_destination gone = input.destination;
    gone.port = 999999;
    EXPECT_EQ(producer->SendOwnBufferTo(gone), B_MEDIA_BAD_DESTINATION);
    ASSERT_EQ(DisconnectNodes(), B_OK);
    EXPECT_EQ(producer->SendOwnBufferTo(input.destination), B_MEDIA_NOT_CONNECTED);
}

TEST_F(MediaRosterTest, ReconnectingAtANewFormatCallsDisconnectedThenConnected)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    BBufferGroup* first = consumer->group;
    ASSERT_EQ(DisconnectNodes(), B_OK);
    EXPECT_EQ(consumer->input.source, media_source::null);
    media_format format = RawVideoWildcard();
    format.u.raw_video.display.line_width = 32;
    format.u.raw_video.display.line_count = 24;
    format.u.raw_video.display.format = B_RGB16;
    ASSERT_EQ(ConnectNodes(format), B_OK);
    EXPECT_EQ(connectedFormat.u.raw_video.display.bytes_per_row, 64u);
    EXPECT_EQ(ConsumerLog(),
        (std::vector<std::string>{"Connected 64x48", "Disconnected", "Connected 32x24"}));
    EXPECT_EQ(ProducerLog(),
        (std::vector<std::string>{"PrepareToConnect", "SetBufferGroup", "Connect 0", "Disconnect",
            "PrepareToConnect", "SetBufferGroup", "Connect 0"}));
    EXPECT_NE(consumer->group, first);
    BBuffer* list[1] = {};
    consumer->group->GetBufferList(1, list);
    EXPECT_EQ(list[0]->SizeAvailable(), 64u * 24u);
}

TEST_F(MediaRosterTest, DisconnectingWhatIsNotConnectedIsRefused)
{
    EXPECT_EQ(roster->Disconnect(producer->ID(), media_source::null, consumer->ID(),
                  media_destination::null),
        B_MEDIA_NOT_CONNECTED);
    ASSERT_EQ(ConnectNodes(), B_OK);
    ASSERT_EQ(DisconnectNodes(), B_OK);
    EXPECT_EQ(DisconnectNodes(), B_MEDIA_NOT_CONNECTED);
}

TEST_F(MediaRosterTest, UnregisteringTheConsumerDisconnectsTheProducer)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    ASSERT_EQ(roster->UnregisterNode(consumer.get()), B_OK);
    EXPECT_EQ(ProducerLog().back(), "Disconnect");
    EXPECT_EQ(ConsumerLog().back(), "Disconnected");
    std::lock_guard guard(producer->lock);
    EXPECT_EQ(producer->consumerGroup, nullptr);
    EXPECT_EQ(roster->UnregisterNode(consumer.get()), B_MEDIA_BAD_NODE);
}

TEST_F(MediaRosterTest, LatencyOfTheProducerIncludesTheConsumers)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    consumer->latency = 20000;
    bigtime_t latency = -1;
    ASSERT_EQ(roster->GetLatencyFor(producer->Node(), &latency), B_OK);
    EXPECT_EQ(latency, 20000);
    uint32 flags = 1;
    ASSERT_EQ(roster->GetInitialLatencyFor(producer->Node(), &latency, &flags), B_OK);
    EXPECT_EQ(latency, 0);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(roster->GetLatencyFor(consumer->Node(), &latency), B_MEDIA_BAD_NODE);
}

TEST_F(MediaRosterTest, RunModeAndDelayReachTheProducer)
{
    ASSERT_EQ(roster->SetProducerRunModeDelay(producer->Node(), 12345, B_RECORDING), B_OK);
    EXPECT_EQ(producer->RunModeDelay(), 12345);
    EXPECT_EQ(producer->RunMode(), B_RECORDING);
    {
        std::lock_guard guard(producer->lock);
        EXPECT_EQ(producer->lastRunMode, B_RECORDING);
    }
    ASSERT_EQ(roster->SetRunModeNode(producer->Node(), B_DROP_DATA), B_OK);
    EXPECT_EQ(producer->RunMode(), B_DROP_DATA);
    EXPECT_EQ(roster->SetProducerRunModeDelay(consumer->Node(), 0, B_RECORDING),
        B_MEDIA_BAD_NODE);
}

TEST_F(MediaRosterTest, LateNoticesReachTheProducer)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    EXPECT_EQ(consumer->NotifyLate(output.source, 777), B_OK);
    EXPECT_TRUE(Await([&] { return ProducerLog().back() == "Late 777"; }));
    EXPECT_EQ(consumer->NotifyLate(media_source::null, 1), B_MEDIA_BAD_SOURCE);
}

TEST_F(MediaRosterTest, ANodeThatNeverAnswersMakesTheCallTimeOut)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    kits::media::SetNodeCallTimeout(50000);
    consumer->blocker.BlockControlThread(consumer.get());
    ASSERT_TRUE(consumer->blocker.Holding());
    bigtime_t before = system_time();
    EXPECT_EQ(roster->StartNode(consumer->Node(), 0), B_TIMED_OUT);
    media_input free;
    int32 count = 0;
    EXPECT_EQ(roster->GetFreeInputsFor(consumer->Node(), &free, 1, &count), B_TIMED_OUT);
    EXPECT_LT(system_time() - before, 2000000);
    consumer->blocker.Release();
    EXPECT_TRUE(Await([&] { return !consumer->blocker.Holding(); }));
    kits::media::ResetMediaFaults();
    EXPECT_EQ(roster->StopNode(consumer->Node(), 0, true), B_OK);
}

} // namespace
