#include "devices/TestCardNode.h"

#include "devices/ChannelPlan.h"
#include "devices/DefaultNodes.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/devices/CaptureNodeScenarios.h"

#include <cmath>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace devices::test {
namespace {

constexpr bigtime_t PAL_FRAME = 40000;

struct TestSignalCard {
    using Node = TestCardNode;
    static constexpr const char* STATION = "E5";
    static constexpr const char* NOISE = "32";
    static constexpr uint32 PAL_WIDTH = 768;
    static constexpr uint32 NTSC_WIDTH = 640;
    static constexpr bigtime_t WAIT = test_support::AWAIT_TIMEOUT;

    static void Prepare() { }
    static TestCardNode* Make() { return new TestCardNode(); }
};

}

INSTANTIATE_TYPED_TEST_SUITE_P(TestCard, CaptureNodeTest, testing::Types<TestSignalCard>);

namespace {

using TestCardNodeTest = CaptureNodeTest<TestSignalCard>;

TEST_F(TestCardNodeTest, WebHoldsEveryParameterWithItsDefaultsAndKeepsWritesInRange)
{
    EXPECT_STREQ(node->Name(), "Test Signal Card");
    for (const auto& [name, value] : {std::pair{"Luma Coring", 0}, {"Chroma Comb", 1},
             {"Gamma", 0}, {"Error Diffusion", 0}, {"Channel", ChannelPlan::PositionOf("E5")}})
        EXPECT_EQ(ReadInt(name), value) << name;
    const struct {
        const char* name;
        float minimum;
        float maximum;
        float value;
    } continuous[] = {{"Brightness", -128, 127, 0}, {"Contrast", 0, 200, 100},
        {"Saturation", 0, 200, 100}, {"Hue", -90, 90, 0}};
    for (const auto& expected : continuous) {
        auto* parameter = dynamic_cast<BContinuousParameter*>(Find(expected.name));
        ASSERT_NE(parameter, nullptr) << expected.name;
        EXPECT_EQ(parameter->MinValue(), expected.minimum);
        EXPECT_EQ(parameter->MaxValue(), expected.maximum);
        EXPECT_EQ(ReadFloat(expected.name), expected.value);
    }
    // No parameter name starts with another's, so a match on the first characters is exact.
    const auto name = [&](int32 i) { return std::string_view(web->ParameterAt(i)->Name()); };
    for (int32 i = 0; i < web->CountParameters(); i++) {
        for (int32 j = 0; j < web->CountParameters(); j++)
            EXPECT_TRUE(i == j || !name(i).starts_with(name(j))) << name(i) << " / " << name(j);
    }
    auto* formats = dynamic_cast<BDiscreteParameter*>(Find("Video Format"));
    int32 item = 0;
    for (const char* standard :
        {"Auto", "NTSC-M", "NTSC-M-JP", "PAL-B/G", "PAL-M", "PAL-N", "SECAM"})
        EXPECT_STREQ(formats->ItemNameAt(item++), standard);
    auto* channels = dynamic_cast<BDiscreteParameter*>(Find("Channel"));
    ASSERT_EQ(channels->CountItems(), ChannelPlan::CountChannels());
    EXPECT_STREQ(channels->ItemNameAt(11), "21");
    EXPECT_EQ(channels->ItemValueAt(59), 59);
    EXPECT_EQ(Find("Video Input"), nullptr);

    const int32 e5 = ChannelPlan::PositionOf("E5");
    const std::tuple<const char*, float, float> adjustments[] = {{"Brightness", 500, 127},
        {"Hue", -12.5f, -12.5f}, {"Contrast", -3, 0}, {"Saturation", NAN, 100}};
    const std::tuple<const char*, int32, int32> discrete[]
        = {{"Luma Coring", 3, 3}, {"Video Format", 4, 4}, {"Video Format", 7, 4},
            {"Audio Format", 5, 0}, {"Channel", ChannelPlan::CountChannels(), e5},
            {"Channel", -1, e5}, {"Channel", 59, 59}, {"Tuner Brand", 0, 1}};
    const auto check = [&](const auto& entries) {
        for (const auto& [name, written, read] : entries) {
            EXPECT_EQ(Write(name, written), B_OK);
            EXPECT_EQ(Read<std::remove_cvref_t<decltype(read)>>(name), read)
                << name << " " << written;
        }
    };
    check(adjustments);
    check(discrete);
    // Without a tuner the brand is 0 and the channel stays.
    node->SetTunerFitted(false);
    EXPECT_EQ(ReadInt("Tuner Brand"), 0);
    EXPECT_EQ(Write("Channel", int32(20)), B_OK);
    EXPECT_EQ(ReadInt("Channel"), 59);
}

TEST_F(TestCardNodeTest, FramesComeAtTheirStandardsTimesAndWithoutATunerShowTheInput)
{
    ASSERT_EQ(Connect(test_support::RawVideo(B_RGB32, 384, 288)), B_OK);
    ASSERT_EQ(Write("Channel", ChannelNamed("32")), B_OK);
    const bigtime_t start = Start();
    ASSERT_TRUE(WaitForFrames(6));
    // Stamped with their frame times plus the consumer's latency.
    EXPECT_EQ(consumer->Frames()[0].startTime, start + consumer->options.latency);
    // The card counts a frame once it is handed over, which may be after the consumer has it.
    EXPECT_TRUE(test_support::Await([&] { return node->FramesSent() >= 6; }));
    size_t from = 1;
    const struct {
        int32 videoFormat;
        double framePeriod;
    } cases[] = {{VIDEO_FORMAT_PAL_BG, PAL_FRAME}, {VIDEO_FORMAT_PAL_M, 1001000.0 / 30},
        {VIDEO_FORMAT_SECAM, PAL_FRAME}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.videoFormat);
        if (entry.videoFormat != ReadInt("Video Format")) {
            ASSERT_EQ(Write("Video Format", entry.videoFormat), B_OK);
            Settle();
            // The first frame after the change may still be due a frame of the old rate later.
            from = consumer->CountFrames() + 2;
            ASSERT_TRUE(WaitForFrames(from + 3));
        }
        const std::vector<Frame> frames = consumer->Frames();
        // Frames lost to a stalled machine leave gaps of whole frames.
        for (size_t i = from; i < frames.size(); i++) {
            const double periods
                = double(frames[i].startTime - frames[i - 1].startTime) / entry.framePeriod;
            EXPECT_NEAR(periods, std::round(periods), 0.0001) << i;
            EXPECT_GE(std::round(periods), 1.0) << i;
        }
    }
    EXPECT_GT(FreshFrame().contrast, 1000);
    node->SetTunerFitted(false);
    EXPECT_LT(FreshFrame().contrast, 1000);
}

TEST_F(TestCardNodeTest, FramesShowTheStationAtTheirFieldTimes)
{
    const TestStation station{
        ChannelPlan::PositionOf("E5"), "MOVING", TestPattern::CHECKERS, true};
    node->SetStations({station});
    const struct {
        int32 videoFormat;
        uint32 lines;
        // Field times after the frame's own time: of the even lines, of the odd lines.
        bigtime_t even;
        bigtime_t odd;
    } cases[] = {
        {VIDEO_FORMAT_PAL_BG, 576, 0, 20000},
        {VIDEO_FORMAT_PAL_BG, 288, 0, 0},
        {VIDEO_FORMAT_NTSC_M, 480, 16683, 0},
        {VIDEO_FORMAT_NTSC_M, 240, 0, 0},
    };
    TestPicture picture;
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.lines);
        ASSERT_NO_FATAL_FAILURE(MakeConsumer({.keepPixels = true}));
        ASSERT_EQ(Write("Video Format", entry.videoFormat), B_OK);
        ASSERT_EQ(Connect(test_support::RawVideo(B_RGB16, 320, entry.lines)), B_OK);
        Start();
        ASSERT_TRUE(WaitForFrames(2));
        const Frame frame = consumer->Frames()[1];
        const bigtime_t time = frame.startTime - consumer->options.latency;
        std::vector<uint8> expected(frame.pixels.size());
        const FrameView buffer{expected.data(), 640, 320, int32(entry.lines), B_RGB16};
        ASSERT_EQ(
            picture.DrawStation(buffer, station, {}, {time + entry.even, time + entry.odd}), B_OK);
        EXPECT_TRUE(frame.pixels == expected);
    }
}

TEST(DefaultNodesTest, TestCardIsTheDefaultVideoInputUntilARealCardComes)
{
    BMediaRoster* roster = BMediaRoster::Roster();
    ASSERT_NE(roster, nullptr);
    kits::media::ResetDefaultNodes();
    ASSERT_EQ(RegisterDefaultNodes(), B_OK);
    media_node node;
    ASSERT_EQ(roster->GetVideoInput(&node), B_OK);
    const uint64 kinds = B_BUFFER_PRODUCER | B_CONTROLLABLE | B_PHYSICAL_INPUT;
    EXPECT_EQ(node.kind & kinds, kinds);
    roster->ReleaseNode(node);

    kits::media::ResetDefaultNodes();
    ASSERT_EQ(RegisterDefaultNodes(), B_OK);
    ASSERT_EQ(media_register_default_node(
                  MEDIA_DEFAULT_VIDEO_INPUT,
                  [] { return static_cast<BMediaNode*>(new test_support::TestConsumer()); }, 0),
        B_OK);
    ASSERT_EQ(roster->GetVideoInput(&node), B_OK);
    EXPECT_EQ(node.kind & B_PHYSICAL_INPUT, 0u);
    EXPECT_NE(node.kind & B_BUFFER_CONSUMER, 0u);
    roster->ReleaseNode(node);
    kits::media::ResetDefaultNodes();
}

}
}
