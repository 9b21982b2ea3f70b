// The connection state of a capture node's output, apart from any node.

#include "devices/VideoOutput.h"

#include "kits/media/BufferGroup.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

namespace {

// Accepts everything, filling in a 64 by 48 picture.
status_t Accept(media_format& format)
{
    format = test_support::RawVideo(B_RGB32, 64, 48);
    format.u.raw_video.display.bytes_per_row = 64 * 4;
    return B_OK;
}

class VideoOutputTest : public testing::Test {
protected:
    void SetUp() override
    {
        media_node node;
        node.node = 7;
        node.port = 70;
        output.Register(node, 70);
        where.port = 80;
        where.id = 1;
    }

    status_t Prepare()
    {
        media_format format;
        media_source source;
        char name[B_MEDIA_NAME_LENGTH];
        return output.PrepareToConnect(
            output.Output().source, where, &format, &source, name, Accept);
    }

    devices::VideoOutput output;
    media_destination where;
};

TEST_F(VideoOutputTest, OneConnectionAtATimeWithItsOwnBuffersAndOnlyForItsOwnSource)
{
    EXPECT_FALSE(output.IsConnected());
    EXPECT_EQ(output.Group(), nullptr);
    ASSERT_EQ(Prepare(), B_OK);
    // Prepared is taken as well as connected.
    EXPECT_EQ(Prepare(), B_MEDIA_ALREADY_CONNECTED);
    ASSERT_TRUE(output.IsConnection(output.Output().source, where));
    char name[B_MEDIA_NAME_LENGTH] = {};
    media_format format;
    Accept(format);
    output.Connected(format, 1234, name);
    EXPECT_STREQ(name, "Video Output");
    EXPECT_TRUE(output.IsSending());
    EXPECT_EQ(output.DownstreamLatency(), 1234);
    BBufferGroup* own = output.Group();
    ASSERT_NE(own, nullptr);
    BBufferGroup consumers(64 * 48 * 4, 3);
    ASSERT_EQ(output.SetBufferGroup(output.Output().source, &consumers), B_OK);
    EXPECT_EQ(output.Group(), &consumers);
    EXPECT_EQ(Prepare(), B_MEDIA_ALREADY_CONNECTED);

    output.EnableOutput(output.Output().source, false);
    EXPECT_FALSE(output.IsSending());
    output.Disconnected();
    EXPECT_FALSE(output.IsConnected());
    EXPECT_EQ(output.Group(), nullptr);
    EXPECT_EQ(output.DownstreamLatency(), 0);
    EXPECT_EQ(Prepare(), B_OK);

    // Hooks for another source, or with bad arguments, are refused.
    media_source other = output.Output().source;
    other.id = 5;
    EXPECT_EQ(output.FormatProposal(other, &format, Accept), B_MEDIA_BAD_SOURCE);
    EXPECT_EQ(output.FormatProposal(output.Output().source, nullptr, Accept), B_BAD_VALUE);
    EXPECT_EQ(
        output.FormatSuggestionRequested(B_MEDIA_RAW_AUDIO, &format, Accept), B_MEDIA_BAD_FORMAT);
    EXPECT_EQ(output.SetBufferGroup(other, nullptr), B_MEDIA_BAD_SOURCE);
    int32 cookie = 0;
    media_output listed;
    ASSERT_EQ(output.GetNextOutput(&cookie, &listed), B_OK);
    EXPECT_EQ(listed.source, output.Output().source);
    EXPECT_EQ(output.GetNextOutput(&cookie, &listed), B_BAD_INDEX);
    EXPECT_FALSE(output.IsConnection(other, where));
}

}
