#include "kits/media/MediaDevices.h"

#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<int32> producersMade{0};
std::atomic<int32> othersMade{0};

BMediaNode* MakeProducer()
{
    producersMade++;
    return new test_support::TestProducer({}, "Card");
}

BMediaNode* MakeOtherProducer()
{
    othersMade++;
    return new test_support::TestProducer({}, "Other card");
}

BMediaNode* MakeNothing()
{
    return nullptr;
}

class MediaDevicesTest : public testing::Test {
protected:
    void SetUp() override
    {
        kits::media::ResetDefaultNodes();
        producersMade = 0;
        othersMade = 0;
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
    }

    void TearDown() override { kits::media::ResetDefaultNodes(); }

    BMediaRoster* roster = nullptr;
};

TEST_F(MediaDevicesTest, WithoutAFactoryThereIsNoVideoInput)
{
    media_node node;
    EXPECT_EQ(roster->GetVideoInput(&node), B_MEDIA_BAD_NODE);
    EXPECT_EQ(roster->GetAudioOutput(&node), B_MEDIA_BAD_NODE);
}

TEST_F(MediaDevicesTest, TheDefaultNodeIsMadeOnceAndKept)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, MakeProducer, 10), B_OK);
    media_node first;
    media_node second;
    ASSERT_EQ(roster->GetVideoInput(&first), B_OK);
    ASSERT_EQ(roster->GetVideoInput(&second), B_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(producersMade, 1);
    EXPECT_TRUE(first.kind & B_BUFFER_PRODUCER);
    media_output output;
    int32 count = 0;
    ASSERT_EQ(roster->GetFreeOutputsFor(first, &output, 1, &count, B_MEDIA_RAW_VIDEO), B_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(roster->ReleaseNode(first), B_OK);
    EXPECT_EQ(roster->GetAudioOutput(&second), B_MEDIA_BAD_NODE) << "only video was registered";
}

TEST_F(MediaDevicesTest, TheHighestPriorityFactoryThatMakesANodeWins)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, MakeOtherProducer, 1), B_OK);
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, MakeNothing, 30), B_OK);
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, MakeProducer, 20), B_OK);
    media_node node;
    ASSERT_EQ(roster->GetVideoInput(&node), B_OK);
    EXPECT_EQ(producersMade, 1);
    EXPECT_EQ(othersMade, 0);
    BTimeSource* clock = roster->MakeTimeSourceFor(node);
    ASSERT_NE(clock, nullptr);
    clock->Release();
    media_output output;
    int32 count = 0;
    ASSERT_EQ(roster->GetFreeOutputsFor(node, &output, 1, &count), B_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(output.node, node);
}

TEST_F(MediaDevicesTest, RegisteringNeedsAKnownKindAndAFactory)
{
    EXPECT_EQ(media_register_default_node(77, MakeProducer, 1), B_BAD_VALUE);
    EXPECT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, nullptr, 1), B_BAD_VALUE);
}

TEST_F(MediaDevicesTest, ResetReleasesTheDefaultNodes)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, MakeProducer, 1), B_OK);
    media_node node;
    ASSERT_EQ(roster->GetAudioOutput(&node), B_OK);
    kits::media::ResetDefaultNodes();
    media_node gone;
    EXPECT_EQ(roster->GetNodeFor(node.node, &gone), B_MEDIA_BAD_NODE);
    EXPECT_EQ(roster->GetAudioOutput(&gone), B_MEDIA_BAD_NODE);
}

} // namespace
