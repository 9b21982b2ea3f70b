#include "kits/media/MediaDevices.h"

#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Nodes each factory made, by the name it gives them.
std::atomic<int32> cardsMade{0};
std::atomic<int32> othersMade{0};

BMediaNode* MakeCard()
{
    cardsMade++;
    return new test_support::TestProducer({}, "Card");
}

BMediaNode* MakeOther()
{
    othersMade++;
    return new test_support::TestProducer({}, "Other card");
}

class MediaDevicesTest : public testing::Test {
protected:
    void SetUp() override
    {
        kits::media::ResetDefaultNodes();
        cardsMade = 0;
        othersMade = 0;
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
    }

    void TearDown() override { kits::media::ResetDefaultNodes(); }

    BMediaRoster* roster = nullptr;
};

TEST_F(MediaDevicesTest, OnlyAKnownKindWithAFactoryGivesADefaultNode)
{
    media_node node;
    EXPECT_EQ(roster->GetVideoInput(&node), B_MEDIA_BAD_NODE);
    EXPECT_EQ(roster->GetAudioOutput(&node), B_MEDIA_BAD_NODE);
    EXPECT_EQ(media_register_default_node(77, MakeCard, 1), B_BAD_VALUE);
    EXPECT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, nullptr, 1), B_BAD_VALUE);
    EXPECT_EQ(roster->GetAudioOutput(&node), B_MEDIA_BAD_NODE);
}

TEST_F(MediaDevicesTest, TheHighestPriorityFactoryThatMakesANodeWinsAndItsNodeIsKept)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, MakeOther, 1), B_OK);
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
                  [] { return static_cast<BMediaNode*>(nullptr); }, 30),
        B_OK);
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, MakeCard, 20), B_OK);
    media_node first;
    media_node second;
    ASSERT_EQ(roster->GetVideoInput(&first), B_OK);
    ASSERT_EQ(roster->GetVideoInput(&second), B_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(cardsMade, 1);
    EXPECT_EQ(othersMade, 0);
    EXPECT_TRUE(first.kind & B_BUFFER_PRODUCER);
    // Registered and running: it answers the roster.
    media_output output;
    int32 count = 0;
    ASSERT_EQ(roster->GetFreeOutputsFor(first, &output, 1, &count, B_MEDIA_RAW_VIDEO), B_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(output.node, first);
    EXPECT_EQ(roster->ReleaseNode(first), B_OK);
    EXPECT_EQ(roster->GetAudioOutput(&second), B_MEDIA_BAD_NODE) << "only video was registered";
}

TEST_F(MediaDevicesTest, ResetReleasesTheDefaultNodes)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, MakeCard, 1), B_OK);
    media_node node;
    ASSERT_EQ(roster->GetAudioOutput(&node), B_OK);
    kits::media::ResetDefaultNodes();
    media_node gone;
    EXPECT_EQ(roster->GetNodeFor(node.node, &gone), B_MEDIA_BAD_NODE);
    EXPECT_EQ(roster->GetAudioOutput(&gone), B_MEDIA_BAD_NODE);
}

} // namespace
