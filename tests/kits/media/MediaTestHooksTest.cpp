#include "kits/media/MediaTestHooks.h"

#include "kits/media/MediaDevices.h"
#include "kits/media/MediaRoster.h"
#include "tests/support/MediaNodesTest.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using kits::media::FailRosterOperation;
using kits::media::RosterOperation;
using test_support::TestConsumer;
using test_support::TestProducer;

BMediaNode* MakeCard()
{
    return new TestProducer({}, "Card");
}

constexpr status_t INJECTED = B_MEDIA_SYSTEM_FAILURE;

class MediaTestHooksTest : public test_support::MediaNodesTest {
protected:
    MediaTestHooksTest() { consumerOptions.handGroup = false; }

    void SetUp() override
    {
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, MakeCard, 1), B_OK);
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, MakeCard, 1), B_OK);
        MediaNodesTest::SetUp();
    }

    void TearDown() override
    {
        MediaNodesTest::TearDown();
        kits::media::ResetDefaultNodes();
    }
};

struct Operation {
    RosterOperation operation;
    std::function<status_t()> call;
};

TEST_F(MediaTestHooksTest, EveryOperationCanBeMadeToFailUntilReset)
{
    media_node node;
    media_output outputs[1];
    media_input inputs[1];
    int32 count = 0;
    bigtime_t latency = 0;
    BParameterWeb* web = nullptr;
    media_node clock;
    ASSERT_EQ(roster->GetSystemTimeSource(&clock), B_OK);
    test_support::TestConsumer spare({}, "Spare");
    test_support::TestTimeSource testClock;
    ASSERT_EQ(roster->RegisterNode(&testClock), B_OK);
    media_node other = testClock.Node();

    using Op = RosterOperation;
    const std::vector<Operation> operations = {
        {Op::GetVideoInput, [&] { return roster->GetVideoInput(&node); }},
        {Op::GetAudioOutput, [&] { return roster->GetAudioOutput(&node); }},
        {Op::GetTimeSource, [&] { return roster->GetTimeSource(&node); }},
        {Op::RegisterNode, [&] { return roster->RegisterNode(&spare); }},
        {Op::UnregisterNode, [&] { return roster->UnregisterNode(&spare); }},
        {Op::GetFreeOutputsFor,
            [&] { return roster->GetFreeOutputsFor(producer->Node(), outputs, 1, &count); }},
        {Op::GetFreeInputsFor,
            [&] { return roster->GetFreeInputsFor(consumer->Node(), inputs, 1, &count); }},
        {Op::Connect, [&] { return ConnectNodes(); }},
        {Op::Disconnect, [&] { return DisconnectNodes(); }},
        {Op::GetParameterWebFor,
            [&] { return roster->GetParameterWebFor(producer->Node(), &web); }},
        {Op::SetTimeSourceFor,
            [&] { return roster->SetTimeSourceFor(consumer->ID(), clock.node); }},
        {Op::GetLatencyFor, [&] { return roster->GetLatencyFor(producer->Node(), &latency); }},
        {Op::GetInitialLatencyFor,
            [&] { return roster->GetInitialLatencyFor(producer->Node(), &latency); }},
        {Op::SetProducerRunModeDelay,
            [&] { return roster->SetProducerRunModeDelay(producer->Node(), 0, B_RECORDING); }},
        {Op::StartTimeSource,
            [&] { return roster->StartTimeSource(other, BTimeSource::RealTime()); }},
        {Op::SeekTimeSource,
            [&] { return roster->SeekTimeSource(other, 0, BTimeSource::RealTime()); }},
        {Op::StopTimeSource, [&] { return roster->StopTimeSource(other, 0, true); }},
        {Op::StartNode, [&] { return roster->StartNode(consumer->Node(), 0); }},
        {Op::StopNode, [&] { return roster->StopNode(consumer->Node(), 0, true); }},
    };
    for (const Operation& operation : operations) {
        SCOPED_TRACE(int(operation.operation));
        FailRosterOperation(operation.operation, INJECTED);
        EXPECT_EQ(operation.call(), INJECTED);
        kits::media::ResetMediaFaults();
        EXPECT_EQ(operation.call(), B_OK);
    }
    EXPECT_EQ(operations.size(), size_t(RosterOperation::StopNode) + 1) << "one call each";
    roster->UnregisterNode(&testClock);
}

TEST_F(MediaTestHooksTest, AFaultCanBeLimitedToOneNodeOrSomeCalls)
{
    FailRosterOperation(RosterOperation::StartNode, B_ERROR, producer->ID());
    EXPECT_EQ(roster->StartNode(producer->Node(), 0), B_ERROR);
    EXPECT_EQ(roster->StartNode(consumer->Node(), 0), B_OK);

    FailRosterOperation(RosterOperation::SetTimeSourceFor, B_ERROR, -1, "Test consumer");
    media_node clock;
    ASSERT_EQ(roster->GetTimeSource(&clock), B_OK);
    EXPECT_EQ(roster->SetTimeSourceFor(producer->ID(), clock.node), B_OK);
    EXPECT_EQ(roster->SetTimeSourceFor(consumer->ID(), clock.node), B_ERROR);

    TestConsumer named({}, "Named");
    FailRosterOperation(RosterOperation::RegisterNode, B_NO_MEMORY, -1, "Named");
    EXPECT_EQ(roster->RegisterNode(&named), B_NO_MEMORY);

    // Limited to a number of calls.
    FailRosterOperation(RosterOperation::Connect, B_ERROR, -1, std::string(), 1);
    EXPECT_EQ(ConnectNodes(), B_ERROR);
    EXPECT_EQ(ConnectNodes(), B_OK);
}

TEST_F(MediaTestHooksTest, WithoutTheMediaServiceThereIsNoRoster)
{
    kits::media::SetMediaServerRunning(false);
    status_t status = B_OK;
    EXPECT_EQ(BMediaRoster::Roster(&status), nullptr);
    EXPECT_NE(status, B_OK);
    EXPECT_EQ(BMediaRoster::CurrentRoster(), nullptr);
    kits::media::ResetMediaFaults();
    EXPECT_EQ(BMediaRoster::Roster(&status), roster);
    EXPECT_EQ(status, B_OK);
}

} // namespace
