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

TEST(MediaDevicesTest, TheHighestPriorityFactoryThatMakesANodeGivesTheDefaultUntilReset)
{
    BMediaRoster* roster = BMediaRoster::Roster();
    ASSERT_NE(roster, nullptr);
    media_node node;
    EXPECT_EQ(roster->GetVideoInput(&node), B_MEDIA_BAD_NODE);
    // Only a known kind with a factory is taken.
    EXPECT_EQ(media_register_default_node(77, MakeCard, 1), B_BAD_VALUE);
    EXPECT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, nullptr, 1), B_BAD_VALUE);
    EXPECT_EQ(roster->GetAudioOutput(&node), B_MEDIA_BAD_NODE);

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
    EXPECT_EQ(roster->GetAudioOutput(&node), B_MEDIA_BAD_NODE) << "only video was registered";

    kits::media::ResetDefaultNodes();
    EXPECT_EQ(roster->GetNodeFor(first.node, &node), B_MEDIA_BAD_NODE);
    EXPECT_EQ(roster->GetVideoInput(&node), B_MEDIA_BAD_NODE);
}

} // namespace
