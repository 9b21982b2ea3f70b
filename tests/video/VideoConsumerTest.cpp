#include "video/VideoConsumer.h"

#include "kits/media/MediaRoster.h"
#include "kits/media/TimeSource.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Reaches the hooks the roster calls, so negotiation can be checked on the test's thread while
// the control thread idles.
class ConsumerProbe : public VideoConsumer {
public:
    ConsumerProbe()
        : BMediaNode("Consumer"), VideoConsumer(nullptr, nullptr, 7)
    {
    }

    using VideoConsumer::AcceptFormat;
    using VideoConsumer::Connected;
    using VideoConsumer::GetLatencyFor;
    using VideoConsumer::GetNextInput;
};

media_format RawVideo(color_space space)
{
    return test_support::RawVideo(space, 320, 240);
}

class VideoConsumerTest : public testing::Test {
protected:
    void SetUp() override
    {
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        consumer = new ConsumerProbe();
        ASSERT_EQ(roster->RegisterNode(consumer), B_OK);
        int32 cookie = 0;
        ASSERT_EQ(consumer->GetNextInput(&cookie, &input), B_OK);
    }

    void TearDown() override
    {
        roster->UnregisterNode(consumer);
        consumer->Release();
    }

    BMediaRoster* roster = nullptr;
    ConsumerProbe* consumer = nullptr;
    media_input input;
};

TEST_F(VideoConsumerTest, OffersOneRawVideoInputWithOnlyTheOrientationSet)
{
    media_input inputs[2];
    int32 count = 0;
    ASSERT_EQ(roster->GetFreeInputsFor(consumer->Node(), inputs, 2, &count, B_MEDIA_RAW_VIDEO),
        B_OK);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(inputs[0].name, "Video Consumer");
    EXPECT_EQ(inputs[0].format.type, B_MEDIA_RAW_VIDEO);
    media_raw_video_format expected = {};
    expected.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    EXPECT_TRUE(inputs[0].format.u.raw_video == expected);
    // Asked for a second, it answers a bad destination and keeps its cookie.
    int32 cookie = 1;
    media_input second;
    EXPECT_EQ(consumer->GetNextInput(&cookie, &second), B_MEDIA_BAD_DESTINATION);
    EXPECT_EQ(cookie, 1);
}

TEST_F(VideoConsumerTest, AcceptsTheDrawableSpacesWithRowsOfWholeWordsAndRefusesTheRest)
{
    const struct {
        color_space space;
        uint32 width;
        uint32 offeredRow;
        status_t result;
        color_space acceptedSpace;
        uint32 acceptedRow;
    } cases[] = {
        {B_RGB32, 766, 3064, B_OK, B_RGB32, 3064},
        {B_RGB32, 766, 4096, B_OK, B_RGB32, 3064},
        {B_RGB16, 641, 1282, B_OK, B_RGB16, 1284},
        {B_RGB15, 320, 0, B_OK, B_RGB15, 640},
        {B_GRAY8, 766, 766, B_OK, B_GRAY8, 768},
        {B_GRAY8, 768, 768, B_OK, B_GRAY8, 768},
        // The wildcard is taken as 16-bit.
        {B_NO_COLOR_SPACE, 3, 0, B_OK, B_RGB16, 8},
        // An open width leaves the row length open too.
        {B_RGB32, 0, 0, B_OK, B_RGB32, 0},
        {B_RGB24, 320, 960, B_MEDIA_BAD_FORMAT, B_RGB24, 960},
        {B_CMAP8, 320, 320, B_MEDIA_BAD_FORMAT, B_CMAP8, 320},
        {B_RGBA32, 320, 1280, B_MEDIA_BAD_FORMAT, B_RGBA32, 1280},
        {B_RGB32_BIG, 320, 1280, B_MEDIA_BAD_FORMAT, B_RGB32_BIG, 1280},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::Message() << entry.space << " " << entry.width);
        media_format format = RawVideo(entry.space);
        format.u.raw_video.display.line_width = entry.width;
        format.u.raw_video.display.bytes_per_row = entry.offeredRow;
        EXPECT_EQ(consumer->AcceptFormat(input.destination, &format), entry.result);
        EXPECT_EQ(format.u.raw_video.display.format, entry.acceptedSpace);
        EXPECT_EQ(format.u.raw_video.display.bytes_per_row, entry.acceptedRow);
    }
    // An untyped format is taken as raw video; audio, and other destinations, are refused.
    media_format untyped = RawVideo(B_RGB32);
    untyped.type = B_MEDIA_NO_TYPE;
    EXPECT_EQ(consumer->AcceptFormat(input.destination, &untyped), B_OK);
    EXPECT_EQ(untyped.type, B_MEDIA_RAW_VIDEO);
    media_format audio;
    audio.type = B_MEDIA_RAW_AUDIO;
    EXPECT_EQ(consumer->AcceptFormat(input.destination, &audio), B_MEDIA_BAD_FORMAT);
    media_format format = RawVideo(B_RGB32);
    media_destination foreign = input.destination;
    foreign.id = 1;
    EXPECT_EQ(consumer->AcceptFormat(foreign, &format), B_MEDIA_BAD_DESTINATION);
    foreign = input.destination;
    foreign.port++;
    EXPECT_EQ(consumer->AcceptFormat(foreign, &format), B_MEDIA_BAD_DESTINATION);
}

TEST_F(VideoConsumerTest, ReportsTwentyMillisecondsOnItsTimeSource)
{
    bigtime_t latency = 0;
    media_node_id timeSource = -1;
    ASSERT_EQ(consumer->GetLatencyFor(input.destination, &latency, &timeSource), B_OK);
    EXPECT_EQ(latency, 20000);
    EXPECT_EQ(timeSource, consumer->TimeSource()->ID());
    EXPECT_EQ(consumer->GetLatencyFor(media_destination::null, &latency, &timeSource),
        B_MEDIA_BAD_DESTINATION);
}

TEST_F(VideoConsumerTest, ConnectionFailsWhenNoBitmapCanBeMade)
{
    media_format empty = RawVideo(B_RGB32);
    empty.u.raw_video.display.line_width = 0;
    media_input connected;
    EXPECT_EQ(consumer->Connected(media_source::null, input.destination, empty, &connected),
        B_ERROR);
    EXPECT_STREQ(connected.name, "Video Consumer");
    EXPECT_EQ(consumer->CreateBuffers(empty), B_ERROR);
    EXPECT_EQ(consumer->CreateBuffers(RawVideo(B_GRAY8)), B_OK);
}

TEST_F(VideoConsumerTest, LineContrastIsMinusOneWhenNoFrameComesWithinAQuarterSecond)
{
    const bigtime_t start = system_time();
    EXPECT_EQ(consumer->GetLineContrast(), -1);
    const bigtime_t waited = system_time() - start;
    EXPECT_GE(waited, 250000);
    // Generous: the machines running the tests are shared.
    EXPECT_LT(waited, 1000000);
    // The request stays armed and a second one waits as long again.
    EXPECT_EQ(consumer->GetLineContrast(), -1);
}

// The frame path draws the usual sizes; these are the edges it never meets.
TEST(VideoConsumerArithmeticTest, OddSizedViewsAndTooShortSourcesAreHandled)
{
    // Fractional edges are rounded up, the origin of the bounds does not matter, and the last
    // line drawn is an odd one.
    EXPECT_EQ(VideoConsumer::DestinationFor(BRect(10, 20, 777.5f, 451.2f)),
        BRect(0, 0, 768, 431));
    EXPECT_EQ(VideoConsumer::DestinationFor(BRect(0, 0, 0, 0)), BRect(0, 0, 0, -1));
    // Too few lines to crop leave an empty source, which draws nothing.
    EXPECT_FALSE(VideoConsumer::SourceFor(BRect(0, 0, 63, 47),
                     VideoConsumer::SIGNAL_FORMAT_WIDE_625)
                     .IsValid());
}

TEST(VideoConsumerArithmeticTest, GreyLevelsAreDividedByEightInWholeWordsOnly)
{
    std::vector<uint8> bits = {0xFF, 0x08, 0x07, 0x80, 0x10, 0xF8, 0x3F, 0x40, 0xFF, 0xFF};
    VideoConsumer::ScaleGreyLevels(bits.data(), bits.size());
    const std::vector<uint8> expected
        = {0x1F, 0x01, 0x00, 0x10, 0x02, 0x1F, 0x07, 0x08, 0xFF, 0xFF};
    EXPECT_EQ(bits, expected);
}

}
