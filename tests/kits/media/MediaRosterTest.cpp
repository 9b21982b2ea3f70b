#include "kits/media/MediaRoster.h"

#include "kits/media/Buffer.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/MediaNodesTest.h"

#include <gtest/gtest.h>

namespace {

using test_support::Await;
using test_support::CountFreeBuffers;
using test_support::RawVideo;
using test_support::TestConsumer;
using test_support::TestProducer;

class MediaRosterTest : public test_support::MediaNodesTest {
protected:
    MediaRosterTest() { consumerOptions = {.queueBuffers = true, .spaces = {B_RGB32, B_RGB16}}; }
};

TEST_F(MediaRosterTest, RegisterNodeGivesAnIdAndCallsNodeRegisteredOnTheCaller)
{
    EXPECT_GT(consumer->ID(), 0);
    EXPECT_NE(consumer->ID(), producer->ID());
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
    EXPECT_EQ(producer->Log(),
        (std::vector<std::string>{"PrepareToConnect", "SetBufferGroup", "Connect 0"}));

    // A second connection of either end is refused.
    media_format format = RawVideo();
    media_output again;
    media_input againInput;
    EXPECT_EQ(roster->Connect(output.source, input.destination, &format, &again, &againInput),
        B_MEDIA_ALREADY_CONNECTED);
    EXPECT_EQ(roster->Connect(media_source::null, input.destination, &format, &again,
                  &againInput),
        B_MEDIA_BAD_SOURCE);
}

TEST_F(MediaRosterTest, AConnectionFailingAtAnyStepLeavesBothEndsFree)
{
    const media_format refused = RawVideo(B_RGB24);
    const std::string failed = "Connect " + std::to_string(B_ERROR);
    const struct {
        const char* step;
        media_format format;
        status_t prepareResult;
        status_t connectedResult;
        status_t expected;
        // What the producer hears; nothing is prepared for a refused format.
        std::vector<std::string> producerLog;
    } cases[] = {
        {"format refused", refused, B_OK, B_OK, B_MEDIA_BAD_FORMAT, {}},
        {"prepare fails", RawVideo(), B_NO_MEMORY, B_OK, B_NO_MEMORY, {"PrepareToConnect"}},
        {"connected fails", RawVideo(), B_OK, B_ERROR, B_ERROR, {"PrepareToConnect", failed}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.step);
        producer->options.prepareResult = entry.prepareResult;
        consumer->options.connectedResult = entry.connectedResult;
        const std::vector<std::string> before = producer->Log();
        EXPECT_EQ(ConnectNodes(entry.format), entry.expected);
        const std::vector<std::string> log = producer->Log();
        EXPECT_EQ(std::vector<std::string>(log.begin() + std::ptrdiff_t(before.size()),
                      log.end()),
            entry.producerLog);
        EXPECT_EQ(producer->OfferedGroup(), nullptr);
    }
    producer->options.prepareResult = B_OK;
    consumer->options.connectedResult = B_OK;
    EXPECT_EQ(ConnectNodes(), B_OK);
}

TEST_F(MediaRosterTest, BuffersFlowIntoTheConsumersGroupOnItsControlThread)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    StartConsumer();
    const bigtime_t now = producer->TimeSource()->Now();
    for (int32 i = 0; i < 6; i++)
        ASSERT_EQ(producer->SendFrame(now + 5000 + i * 2000), B_OK);
    ASSERT_TRUE(Await([&] { return consumer->Handled() == 6; }));
    for (const TestConsumer::ReceivedFrame& frame : consumer->Frames()) {
        EXPECT_TRUE(frame.fromGroup);
        EXPECT_EQ(frame.thread, consumer->ControlThread());
    }
    EXPECT_EQ(CountFreeBuffers(*consumer->Group()), 3);
}

TEST_F(MediaRosterTest, AConnectionEndsOnDisconnectOrUnregisterAndIsMadeAnewAtANewFormat)
{
    EXPECT_EQ(DisconnectNodes(), B_MEDIA_NOT_CONNECTED);
    ASSERT_EQ(ConnectNodes(), B_OK);
    BBufferGroup* first = consumer->Group();
    // A buffer that cannot be delivered comes back to its group.
    media_destination gone = input.destination;
    gone.port = 999999;
    EXPECT_EQ(producer->SendFrameTo(gone, 0), B_MEDIA_BAD_DESTINATION);
    EXPECT_EQ(CountFreeBuffers(*first), 3);
    ASSERT_EQ(DisconnectNodes(), B_OK);
    EXPECT_EQ(DisconnectNodes(), B_MEDIA_NOT_CONNECTED);
    EXPECT_EQ(producer->SendFrameTo(input.destination, 0), B_MEDIA_NOT_CONNECTED);
    EXPECT_EQ(CountFreeBuffers(*producer->Group()), 3);
    EXPECT_EQ(consumer->Input().source, media_source::null);
    ASSERT_EQ(ConnectNodes(RawVideo(B_RGB16, 32, 24)), B_OK);
    EXPECT_EQ(connectedFormat.u.raw_video.display.bytes_per_row, 64u);
    EXPECT_EQ(consumer->Log(),
        (std::vector<std::string>{"Connected 64x48", "Disconnected", "Connected 32x24"}));
    EXPECT_EQ(producer->Log(),
        (std::vector<std::string>{"PrepareToConnect", "SetBufferGroup", "Connect 0", "Disconnect",
            "PrepareToConnect", "SetBufferGroup", "Connect 0"}));
    EXPECT_NE(consumer->Group(), first);
    BBuffer* list[1] = {};
    consumer->Group()->GetBufferList(1, list);
    EXPECT_EQ(list[0]->SizeAvailable(), 64u * 24u);

    // Unregistering a connected node tells both ends.
    ASSERT_EQ(roster->UnregisterNode(consumer.get()), B_OK);
    EXPECT_EQ(producer->Log().back(), "Disconnect");
    EXPECT_EQ(consumer->Log().back(), "Disconnected");
    EXPECT_EQ(roster->UnregisterNode(consumer.get()), B_MEDIA_BAD_NODE);
    EXPECT_EQ(ConnectNodes(), B_MEDIA_BAD_NODE) << "the consumer is gone";
}

TEST_F(MediaRosterTest, NoticesFormatChangesLatencyAndRunModesReachTheOtherEnd)
{
    ASSERT_EQ(ConnectNodes(), B_OK);
    EXPECT_EQ(consumer->NotifyLate(output.source, 777), B_OK);
    EXPECT_TRUE(Await([&] { return producer->Log().back() == "Late 777"; }));
    EXPECT_EQ(consumer->NotifyLate(media_source::null, 1), B_MEDIA_BAD_SOURCE);
    // A refused change keeps the old format.
    media_format wider = connectedFormat;
    wider.u.raw_video.display.line_width = 80;
    EXPECT_EQ(producer->ChangeFormatTo(wider), B_OK);
    EXPECT_EQ(consumer->Input().format.u.raw_video.display.line_width, 80u);
    consumer->options.formatChangedResult = B_MEDIA_BAD_FORMAT;
    media_format narrower = connectedFormat;
    narrower.u.raw_video.display.line_width = 16;
    EXPECT_EQ(producer->ChangeFormatTo(narrower), B_MEDIA_BAD_FORMAT);
    EXPECT_EQ(consumer->Input().format.u.raw_video.display.line_width, 80u);
    EXPECT_EQ(consumer->Log().back(), "FormatChanged 16");

    // A producer's latency includes its consumer's.
    consumer->options.latency = 12345;
    bigtime_t latency = -1;
    ASSERT_EQ(roster->GetLatencyFor(producer->Node(), &latency), B_OK);
    EXPECT_EQ(latency, 12345);
    uint32 flags = 1;
    ASSERT_EQ(roster->GetInitialLatencyFor(producer->Node(), &latency, &flags), B_OK);
    EXPECT_EQ(latency, 0);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(roster->GetLatencyFor(consumer->Node(), &latency), B_MEDIA_BAD_NODE);

    ASSERT_EQ(roster->SetProducerRunModeDelay(producer->Node(), 12345, B_RECORDING), B_OK);
    EXPECT_EQ(producer->RunModeDelay(), 12345);
    EXPECT_EQ(producer->RunMode(), B_RECORDING);
    EXPECT_EQ(producer->LastRunMode(), B_RECORDING);
    ASSERT_EQ(roster->SetRunModeNode(producer->Node(), B_DROP_DATA), B_OK);
    EXPECT_EQ(producer->RunMode(), B_DROP_DATA);
    EXPECT_EQ(roster->SetProducerRunModeDelay(consumer->Node(), 0, B_RECORDING),
        B_MEDIA_BAD_NODE);
}

} // namespace
