#include "devices/TestCardNode.h"

#include "devices/ChannelPlan.h"
#include "devices/DefaultNodes.h"
#include "kits/media/Buffer.h"
#include "kits/media/BufferConsumer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "video/FindContrast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace devices::test {
namespace {

// Generous: the machines running the tests are shared.
constexpr bigtime_t WAIT = 5000000;
constexpr bigtime_t CONSUMER_LATENCY = 20000;
constexpr bigtime_t PAL_FRAME = 40000;

// A raw-video consumer that records every buffer it gets: when it was due, its size, whether it
// came from the group this consumer handed over, and how busy the top of its picture is.
class TestConsumer : public BMediaEventLooper, public BBufferConsumer {
public:
    struct Options {
        // Hand the producer a group of three buffers of the connection's size.
        bool handGroup = true;
        // Keep every buffer until disconnected, so the producer runs out of them.
        bool holdBuffers = false;
        // Keep a copy of the pixels of every frame.
        bool keepPixels = false;
    };

    struct Frame {
        bigtime_t startTime;
        size_t sizeUsed;
        size_t sizeAvailable;
        bool fromGroup;
        int32 contrast;
        uint32 sequence;
        int32 connection;
        size_t connectionBytes;
        std::vector<uint8> pixels;
    };

    explicit TestConsumer(Options options)
        : BMediaNode("Test Consumer"), BBufferConsumer(B_MEDIA_RAW_VIDEO), options(options)
    {
    }

    ~TestConsumer() override
    {
        Quit();
        RecycleHeld();
    }

    std::vector<Frame> Frames() const
    {
        std::lock_guard guard(lock);
        return frames;
    }

    // Waits until `count` frames have come, at most WAIT.
    bool WaitForFrames(size_t count)
    {
        std::unique_lock guard(lock);
        return arrived.wait_for(guard, std::chrono::microseconds(WAIT),
            [&] { return frames.size() >= count; });
    }

    // Waits until a frame of at least `sequence` satisfying `test` has come, at most WAIT.
    template <typename Test>
    bool WaitForFrame(size_t after, Test&& test)
    {
        std::unique_lock guard(lock);
        return arrived.wait_for(guard, std::chrono::microseconds(WAIT), [&] {
            for (size_t i = after; i < frames.size(); i++) {
                if (test(frames[i]))
                    return true;
            }
            return false;
        });
    }

    media_destination Destination() const { return {ControlPort(), 0}; }

    BMediaAddOn* AddOn(int32* internalId) const override
    {
        *internalId = 0;
        return nullptr;
    }

protected:
    void NodeRegistered() override
    {
        input.node = Node();
        input.destination = Destination();
        input.format.type = B_MEDIA_RAW_VIDEO;
        BMediaEventLooper::NodeRegistered();
    }

    void HandleEvent(const media_timed_event*, bigtime_t, bool) override {}

    status_t AcceptFormat(const media_destination& destination, media_format* format) override
    {
        if (!(destination == input.destination))
            return B_MEDIA_BAD_DESTINATION;
        return format->type == B_MEDIA_RAW_VIDEO ? B_OK : B_MEDIA_BAD_FORMAT;
    }

    status_t GetNextInput(int32* cookie, media_input* outInput) override
    {
        if (*cookie != 0)
            return B_BAD_INDEX;
        *outInput = input;
        (*cookie)++;
        return B_OK;
    }

    void DisposeInputCookie(int32) override {}

    void BufferReceived(BBuffer* buffer) override
    {
        const media_video_display_info& display = input.format.u.raw_video.display;
        const FrameView view{static_cast<uint8*>(buffer->Data()), int32(display.bytes_per_row),
            int32(display.line_width), int32(display.line_count), display.format};
        Frame frame{buffer->Header()->start_time, buffer->SizeUsed(), buffer->SizeAvailable(),
            InGroup(buffer), FindContrast(view, buffer->SizeUsed()),
            buffer->Header()->u.raw_video.field_sequence, connection,
            size_t(display.bytes_per_row) * display.line_count, {}};
        if (options.keepPixels) {
            const uint8* data = static_cast<const uint8*>(buffer->Data());
            frame.pixels.assign(data, data + buffer->SizeUsed());
        }
        if (options.holdBuffers)
            held.push_back(buffer);
        else
            buffer->Recycle();
        std::lock_guard guard(lock);
        frames.push_back(frame);
        arrived.notify_all();
    }

    void ProducerDataStatus(const media_destination&, int32, bigtime_t) override {}

    status_t GetLatencyFor(const media_destination&, bigtime_t* outLatency,
        media_node_id* outTimeSource) override
    {
        *outLatency = CONSUMER_LATENCY;
        *outTimeSource = TimeSource()->ID();
        return B_OK;
    }

    status_t Connected(const media_source& producer, const media_destination&,
        const media_format& format, media_input* outInput) override
    {
        input.source = producer;
        input.format = format;
        connection++;
        *outInput = input;
        if (!options.handGroup)
            return B_OK;
        const media_video_display_info& display = format.u.raw_video.display;
        auto fresh = std::make_unique<BBufferGroup>(
            size_t(display.bytes_per_row) * display.line_count, 3);
        if (fresh->InitCheck() != B_OK)
            return fresh->InitCheck();
        SetOutputBuffersFor(producer, input.destination, fresh.get(), nullptr, nullptr);
        group = std::move(fresh);
        return B_OK;
    }

    void Disconnected(const media_source&, const media_destination&) override
    {
        input.source = media_source::null;
        RecycleHeld();
    }

    status_t FormatChanged(const media_source&, const media_destination&, int32,
        const media_format&) override
    {
        return B_MEDIA_BAD_FORMAT;
    }

private:
    bool InGroup(BBuffer* buffer) const
    {
        if (group == nullptr)
            return false;
        BBuffer* list[3] = {};
        group->GetBufferList(3, list);
        return std::find(std::begin(list), std::end(list), buffer) != std::end(list);
    }

    void RecycleHeld()
    {
        for (BBuffer* buffer : held)
            buffer->Recycle();
        held.clear();
    }

    Options options;
    // The rest is touched on the control thread only, except frames.
    media_input input;
    std::unique_ptr<BBufferGroup> group;
    std::vector<BBuffer*> held;
    int32 connection = 0;
    mutable std::mutex lock;
    std::condition_variable arrived;
    // Guarded by lock.
    std::vector<Frame> frames;
};

media_format VideoFormat(color_space space, uint32 width, uint32 lines)
{
    media_format format;
    format.type = B_MEDIA_RAW_VIDEO;
    format.u.raw_video = media_raw_video_format::wildcard;
    format.u.raw_video.display.format = space;
    format.u.raw_video.display.line_width = width;
    format.u.raw_video.display.line_count = lines;
    return format;
}

BParameter* FindParameter(BParameterWeb* web, const char* name)
{
    for (int32 i = 0; i < web->CountParameters(); i++) {
        if (std::strcmp(web->ParameterAt(i)->Name(), name) == 0)
            return web->ParameterAt(i);
    }
    return nullptr;
}

class TestCardNodeTest : public testing::Test {
protected:
    void SetUp() override
    {
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        card = new TestCardNode();
        ASSERT_EQ(roster->RegisterNode(card), B_OK);
        ASSERT_EQ(roster->GetParameterWebFor(card->Node(), &web), B_OK);
        ASSERT_NE(web, nullptr);
    }

    void TearDown() override
    {
        roster->StopNode(card->Node(), 0, true);
        Disconnect();
        roster->UnregisterNode(card);
        card->Release();
        if (consumer != nullptr) {
            roster->UnregisterNode(consumer);
            consumer->Release();
        }
    }

    void MakeConsumer(TestConsumer::Options options = {})
    {
        consumer = new TestConsumer(options);
        ASSERT_EQ(roster->RegisterNode(consumer), B_OK);
    }

    status_t Connect(media_format format)
    {
        media_output free;
        int32 count = 0;
        if (status_t status = roster->GetFreeOutputsFor(card->Node(), &free, 1, &count,
                B_MEDIA_RAW_VIDEO);
            status != B_OK) {
            return status;
        }
        if (count != 1)
            return B_MEDIA_ALREADY_CONNECTED;
        status_t status = roster->Connect(free.source, consumer->Destination(), &format,
            &output, &input);
        connectedFormat = format;
        return status;
    }

    void Disconnect()
    {
        if (consumer != nullptr)
            roster->Disconnect(card->ID(), output.source, consumer->ID(), input.destination);
    }

    // Starts the card a little ahead, so the first frame's time is known.
    bigtime_t Start()
    {
        const bigtime_t start = card->TimeSource()->Now() + 30000;
        EXPECT_EQ(roster->StartNode(card->Node(), start), B_OK);
        return start;
    }

    int32 ReadInt(const char* name)
    {
        int32 value = -12345;
        size_t size = sizeof(value);
        EXPECT_EQ(FindParameter(web, name)->GetValue(&value, &size, nullptr), B_OK) << name;
        return value;
    }

    float ReadFloat(const char* name)
    {
        float value = -12345;
        size_t size = sizeof(value);
        EXPECT_EQ(FindParameter(web, name)->GetValue(&value, &size, nullptr), B_OK) << name;
        return value;
    }

    template <typename Value>
    status_t Write(const char* name, Value value)
    {
        return FindParameter(web, name)->SetValue(&value, sizeof(value),
            BTimeSource::RealTime());
    }

    // Returns once every buffer the card sent so far has reached the consumer: a call through
    // the consumer's port is served after the buffers queued before it.
    void Settle()
    {
        media_input free[1];
        int32 count = 0;
        roster->GetFreeInputsFor(consumer->Node(), free, 1, &count);
    }

    BMediaRoster* roster = nullptr;
    TestCardNode* card = nullptr;
    TestConsumer* consumer = nullptr;
    BParameterWeb* web = nullptr;
    media_output output;
    media_input input;
    media_format connectedFormat;
};

TEST_F(TestCardNodeTest, IsAPhysicalInputProducingVideoWithControls)
{
    EXPECT_STREQ(card->Name(), "Test Signal Card");
    const uint64 kinds = B_BUFFER_PRODUCER | B_CONTROLLABLE | B_PHYSICAL_INPUT;
    EXPECT_EQ(card->Kinds() & kinds, kinds);
    media_output outputs[2];
    int32 count = 0;
    ASSERT_EQ(roster->GetFreeOutputsFor(card->Node(), outputs, 2, &count, B_MEDIA_RAW_VIDEO),
        B_OK);
    EXPECT_EQ(count, 1);
}

TEST_F(TestCardNodeTest, WebHoldsEveryParameterWithItsKindAndItems)
{
    const char* discrete[] = {"Video Format", "Channel", "Audio Format", "Tuner Brand",
        "Luma Coring", "Chroma Comb", "Gamma", "Error Diffusion"};
    for (const char* name : discrete) {
        BParameter* parameter = FindParameter(web, name);
        ASSERT_NE(parameter, nullptr) << name;
        EXPECT_EQ(parameter->Type(), BParameter::B_DISCRETE_PARAMETER) << name;
        EXPECT_EQ(parameter->ValueSize(), 4u) << name;
    }
    const struct {
        const char* name;
        float minimum;
        float maximum;
        float value;
    } continuous[] = {{"Brightness", -128, 127, 0}, {"Contrast", 0, 200, 100},
        {"Saturation", 0, 200, 100}, {"Hue", -90, 90, 0}};
    for (const auto& expected : continuous) {
        auto* parameter = dynamic_cast<BContinuousParameter*>(
            FindParameter(web, expected.name));
        ASSERT_NE(parameter, nullptr) << expected.name;
        EXPECT_EQ(parameter->MinValue(), expected.minimum);
        EXPECT_EQ(parameter->MaxValue(), expected.maximum);
        EXPECT_EQ(ReadFloat(expected.name), expected.value);
    }
    // No parameter name starts with another's, so a match on the first characters is exact.
    for (int32 i = 0; i < web->CountParameters(); i++) {
        for (int32 j = 0; j < web->CountParameters(); j++) {
            const char* a = web->ParameterAt(i)->Name();
            const char* b = web->ParameterAt(j)->Name();
            if (i != j) {
                EXPECT_NE(std::strncmp(a, b, std::strlen(b)), 0) << a << " / " << b;
            }
        }
    }

    auto* formats = dynamic_cast<BDiscreteParameter*>(FindParameter(web, "Video Format"));
    const char* standards[] = {"Auto", "NTSC-M", "NTSC-M-JP", "PAL-B/G", "PAL-M", "PAL-N",
        "SECAM"};
    ASSERT_EQ(formats->CountItems(), 7);
    for (int32 i = 0; i < 7; i++) {
        EXPECT_STREQ(formats->ItemNameAt(i), standards[i]);
        EXPECT_EQ(formats->ItemValueAt(i), i);
    }
    auto* channels = dynamic_cast<BDiscreteParameter*>(FindParameter(web, "Channel"));
    ASSERT_EQ(channels->CountItems(), ChannelPlan::CountChannels());
    EXPECT_STREQ(channels->ItemNameAt(0), "E2");
    EXPECT_STREQ(channels->ItemNameAt(11), "21");
    EXPECT_EQ(channels->ItemValueAt(59), 59);
    EXPECT_GE(dynamic_cast<BDiscreteParameter*>(FindParameter(web, "Audio Format"))
                  ->CountItems(),
        2);

    EXPECT_EQ(ReadInt("Video Format"), VIDEO_FORMAT_PAL_BG);
    EXPECT_EQ(ReadInt("Channel"), ChannelPlan::PositionOf("E5"));
    EXPECT_NE(ReadInt("Tuner Brand"), 0);
    EXPECT_EQ(ReadInt("Chroma Comb"), 1);
    EXPECT_EQ(ReadInt("Gamma"), 0);
}

TEST_F(TestCardNodeTest, WritesKeepValuesInRangeAndSwitchesAsWritten)
{
    EXPECT_EQ(Write("Brightness", 500.0f), B_OK);
    EXPECT_EQ(ReadFloat("Brightness"), 127.0f);
    EXPECT_EQ(Write("Hue", -12.5f), B_OK);
    EXPECT_EQ(ReadFloat("Hue"), -12.5f);
    EXPECT_EQ(Write("Luma Coring", int32(3)), B_OK);
    EXPECT_EQ(ReadInt("Luma Coring"), 3);
    EXPECT_EQ(Write("Video Format", int32(4)), B_OK);
    EXPECT_EQ(ReadInt("Video Format"), 4);
    EXPECT_EQ(Write("Video Format", int32(7)), B_OK);
    EXPECT_EQ(ReadInt("Video Format"), 4);
    EXPECT_EQ(Write("Channel", int32(ChannelPlan::CountChannels())), B_OK);
    EXPECT_EQ(ReadInt("Channel"), ChannelPlan::PositionOf("E5"));
    EXPECT_EQ(Write("Channel", int32(-1)), B_OK);
    EXPECT_EQ(ReadInt("Channel"), ChannelPlan::PositionOf("E5"));
    EXPECT_EQ(Write("Channel", int32(59)), B_OK);
    EXPECT_EQ(ReadInt("Channel"), 59);
    EXPECT_EQ(Write("Tuner Brand", int32(0)), B_OK);
    EXPECT_NE(ReadInt("Tuner Brand"), 0);
    // Values are four bytes.
    const int16 small = 1;
    EXPECT_NE(FindParameter(web, "Channel")->SetValue(&small, sizeof(small),
                  BTimeSource::RealTime()),
        B_OK);
    EXPECT_EQ(ReadInt("Channel"), 59);
}

TEST_F(TestCardNodeTest, WriteForALaterTimeAppliesThen)
{
    const float brighter = 40;
    const bigtime_t when = BTimeSource::RealTime() + 500000;
    ASSERT_EQ(FindParameter(web, "Brightness")->SetValue(&brighter, sizeof(brighter), when),
        B_OK);
    EXPECT_EQ(ReadFloat("Brightness"), 0.0f);
    const bigtime_t deadline = system_time() + WAIT;
    while (ReadFloat("Brightness") != brighter && system_time() < deadline)
        snooze(5000);
    EXPECT_EQ(ReadFloat("Brightness"), brighter);
    // Applied with the frames of its time, which are drawn a little ahead.
    EXPECT_GE(BTimeSource::RealTime(), when - 10000);
}

TEST_F(TestCardNodeTest, WithoutATunerTheBrandIsZeroAndChannelsStay)
{
    card->SetTunerFitted(false);
    EXPECT_EQ(ReadInt("Tuner Brand"), 0);
    EXPECT_EQ(Write("Channel", int32(20)), B_OK);
    EXPECT_EQ(ReadInt("Channel"), ChannelPlan::PositionOf("E5"));
    card->SetTunerFitted(true);
    EXPECT_EQ(ReadInt("Tuner Brand"), 1);
}

TEST_F(TestCardNodeTest, FillsOpenFieldsFromTheVideoFormat)
{
    MakeConsumer();
    ASSERT_EQ(Connect(VideoFormat(B_NO_COLOR_SPACE, 0, 0)), B_OK);
    const media_raw_video_format& pal = connectedFormat.u.raw_video;
    EXPECT_EQ(pal.display.format, B_RGB32);
    EXPECT_EQ(pal.display.line_width, 768u);
    EXPECT_EQ(pal.display.line_count, 576u);
    EXPECT_EQ(pal.display.bytes_per_row, 3072u);
    EXPECT_EQ(pal.field_rate, 50.0f);
    EXPECT_EQ(pal.orientation, uint32(B_VIDEO_TOP_LEFT_RIGHT));
    Disconnect();

    ASSERT_EQ(Write("Video Format", int32(VIDEO_FORMAT_NTSC_M)), B_OK);
    ASSERT_EQ(Connect(VideoFormat(B_RGB16, 0, 0)), B_OK);
    const media_raw_video_format& ntsc = connectedFormat.u.raw_video;
    EXPECT_EQ(ntsc.display.line_width, 640u);
    EXPECT_EQ(ntsc.display.line_count, 480u);
    EXPECT_EQ(ntsc.display.bytes_per_row, 1280u);
    EXPECT_NEAR(ntsc.field_rate, 59.94f, 0.001f);
}

TEST_F(TestCardNodeTest, KeepsWhatTheRequestNamesAndRefusesWhatItCannotMake)
{
    MakeConsumer();
    media_format asked = VideoFormat(B_RGB15, 640, 240);
    asked.u.raw_video.display.bytes_per_row = 1280;
    asked.u.raw_video.pixel_width_aspect = 4;
    asked.u.raw_video.pixel_height_aspect = 3;
    asked.u.raw_video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    ASSERT_EQ(Connect(asked), B_OK);
    EXPECT_EQ(connectedFormat.u.raw_video.display.format, B_RGB15);
    EXPECT_EQ(connectedFormat.u.raw_video.display.line_width, 640u);
    EXPECT_EQ(connectedFormat.u.raw_video.display.line_count, 240u);
    EXPECT_EQ(connectedFormat.u.raw_video.display.bytes_per_row, 1280u);
    Disconnect();

    media_format narrow = VideoFormat(B_RGB32, 640, 480);
    narrow.u.raw_video.display.bytes_per_row = 2000;
    media_format audio;
    audio.type = B_MEDIA_RAW_AUDIO;
    for (media_format refused : {VideoFormat(B_RGB24, 768, 576), VideoFormat(B_CMAP8, 0, 0),
             VideoFormat(B_RGB32, 1921, 576), VideoFormat(B_RGB32, 768, 1081), narrow, audio}) {
        EXPECT_EQ(Connect(refused), B_MEDIA_BAD_FORMAT);
    }
    // A refused connection leaves the output free.
    media_output free;
    int32 count = 0;
    ASSERT_EQ(roster->GetFreeOutputsFor(card->Node(), &free, 1, &count, B_MEDIA_RAW_VIDEO), B_OK);
    EXPECT_EQ(count, 1);
}

TEST_F(TestCardNodeTest, DeliversFramesAtTheFrameRateIntoTheConsumersGroup)
{
    MakeConsumer();
    ASSERT_EQ(Connect(VideoFormat(B_RGB32, 384, 288)), B_OK);
    const bigtime_t start = Start();
    ASSERT_TRUE(consumer->WaitForFrames(6));
    const std::vector<TestConsumer::Frame> frames = consumer->Frames();
    EXPECT_EQ(frames[0].startTime, start + CONSUMER_LATENCY);
    for (size_t i = 0; i < frames.size(); i++) {
        EXPECT_TRUE(frames[i].fromGroup) << i;
        EXPECT_EQ(frames[i].sizeUsed, 384u * 288u * 4u) << i;
        if (i == 0)
            continue;
        // Frames lost to a stalled machine leave gaps of whole frames.
        const bigtime_t step = frames[i].startTime - frames[i - 1].startTime;
        EXPECT_GT(step, 0) << i;
        EXPECT_EQ(step % PAL_FRAME, 0) << i;
        EXPECT_GT(frames[i].sequence, frames[i - 1].sequence) << i;
    }
    // The card counts a frame once it is handed over, which may be after the consumer has it.
    const bigtime_t deadline = system_time() + WAIT;
    while (card->FramesSent() < 6 && system_time() < deadline)
        snooze(1000);
    EXPECT_GE(card->FramesSent(), 6);
}

TEST_F(TestCardNodeTest, UsesBuffersOfItsOwnWhenTheConsumerHandsNone)
{
    MakeConsumer({.handGroup = false});
    ASSERT_EQ(Connect(VideoFormat(B_GRAY8, 101, 77)), B_OK);
    Start();
    ASSERT_TRUE(consumer->WaitForFrames(3));
    for (const TestConsumer::Frame& frame : consumer->Frames()) {
        EXPECT_FALSE(frame.fromGroup);
        EXPECT_EQ(frame.sizeUsed, 101u * 77u);
        EXPECT_EQ(frame.sizeAvailable, 101u * 77u);
    }
}

TEST_F(TestCardNodeTest, VideoFormatSetsTheFrameRate)
{
    MakeConsumer();
    ASSERT_EQ(Connect(VideoFormat(B_RGB16, 320, 240)), B_OK);
    Start();
    ASSERT_TRUE(consumer->WaitForFrames(2));
    ASSERT_EQ(Write("Video Format", int32(VIDEO_FORMAT_PAL_M)), B_OK);
    Settle();
    const size_t before = consumer->Frames().size();
    ASSERT_TRUE(consumer->WaitForFrames(before + 5));
    const std::vector<TestConsumer::Frame> frames = consumer->Frames();
    // The first frame after the change may still be due a PAL frame after the one before.
    for (size_t i = before + 2; i < frames.size(); i++) {
        const bigtime_t step = frames[i].startTime - frames[i - 1].startTime;
        const double frames30000 = double(step) * 30.0 / 1001000.0;
        EXPECT_NEAR(frames30000, std::round(frames30000), 0.0001) << step;
        EXPECT_GE(std::round(frames30000), 1.0);
    }
    ASSERT_EQ(Write("Video Format", int32(VIDEO_FORMAT_SECAM)), B_OK);
    Settle();
    const size_t secam = consumer->Frames().size();
    ASSERT_TRUE(consumer->WaitForFrames(secam + 4));
    const std::vector<TestConsumer::Frame> later = consumer->Frames();
    for (size_t i = secam + 2; i < later.size(); i++)
        EXPECT_EQ((later[i].startTime - later[i - 1].startTime) % PAL_FRAME, 0);
}

TEST_F(TestCardNodeTest, TuningSwitchesBetweenStationsAndSnow)
{
    MakeConsumer();
    ASSERT_EQ(Connect(VideoFormat(B_RGB32, 384, 288)), B_OK);
    card->SetStations({{ChannelPlan::PositionOf("31"), "TUNED", TestPattern::GRID, false}});
    Start();
    const auto tune = [&](const char* label) {
        EXPECT_EQ(Write("Channel", int32(ChannelPlan::PositionOf(label))), B_OK);
        Settle();
        return consumer->Frames().size();
    };
    size_t after = tune("31");
    EXPECT_TRUE(consumer->WaitForFrame(after, [](const TestConsumer::Frame& frame) {
        return frame.contrast >= 1 && frame.contrast <= 1499;
    }));
    after = tune("32");
    EXPECT_TRUE(consumer->WaitForFrame(after, [](const TestConsumer::Frame& frame) {
        return frame.contrast >= 1500;
    }));
    // Without a tuner the card shows its external input whatever the channel.
    card->SetTunerFitted(false);
    after = tune("32");
    EXPECT_TRUE(consumer->WaitForFrame(after, [](const TestConsumer::Frame& frame) {
        return frame.contrast >= 1 && frame.contrast <= 1499;
    }));
}

TEST_F(TestCardNodeTest, FramesShowTheStationAtTheirFieldTimes)
{
    const TestStation station{ChannelPlan::PositionOf("E5"), "MOVING", TestPattern::CHECKERS,
        true};
    card->SetStations({station});
    struct Case {
        int32 videoFormat;
        uint32 lines;
        // Field times after the frame's own time: of the even lines, of the odd lines.
        bigtime_t even;
        bigtime_t odd;
    };
    const Case cases[] = {
        {VIDEO_FORMAT_PAL_BG, 576, 0, 20000},
        {VIDEO_FORMAT_PAL_BG, 288, 0, 0},
        {VIDEO_FORMAT_NTSC_M, 480, 16683, 0},
        {VIDEO_FORMAT_NTSC_M, 240, 0, 0},
    };
    TestPicture picture;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.lines);
        if (consumer != nullptr) {
            roster->StopNode(card->Node(), 0, true);
            Disconnect();
            roster->UnregisterNode(consumer);
            consumer->Release();
        }
        MakeConsumer({.keepPixels = true});
        ASSERT_EQ(Write("Video Format", test.videoFormat), B_OK);
        ASSERT_EQ(Connect(VideoFormat(B_RGB16, 320, test.lines)), B_OK);
        Start();
        ASSERT_TRUE(consumer->WaitForFrames(2));
        const TestConsumer::Frame frame = consumer->Frames()[1];
        const bigtime_t time = frame.startTime - CONSUMER_LATENCY;
        std::vector<uint8> expected(frame.pixels.size());
        const FrameView buffer{expected.data(), 640, 320, int32(test.lines), B_RGB16};
        ASSERT_EQ(picture.DrawStation(buffer, station, {}, {time + test.even, time + test.odd}),
            B_OK);
        EXPECT_TRUE(frame.pixels == expected);
    }
}

TEST_F(TestCardNodeTest, PictureControlsReachThePicture)
{
    card->SetStations({{ChannelPlan::PositionOf("E5"), "STILL", TestPattern::BLANK, false}});
    MakeConsumer({.keepPixels = true});
    ASSERT_EQ(Connect(VideoFormat(B_RGB32, 64, 48)), B_OK);
    ASSERT_EQ(Write("Brightness", 50.0f), B_OK);
    ASSERT_EQ(Write("Contrast", 150.0f), B_OK);
    Start();
    ASSERT_TRUE(consumer->WaitForFrames(1));
    uint32 pixel = 0;
    std::memcpy(&pixel, consumer->Frames()[0].pixels.data(), sizeof(pixel));
    EXPECT_EQ(pixel & 0xFFFFFF, 0x323232u);
}

TEST_F(TestCardNodeTest, StopLeavesNothingToProduce)
{
    MakeConsumer();
    ASSERT_EQ(Connect(VideoFormat(B_RGB16, 192, 144)), B_OK);
    Start();
    ASSERT_TRUE(consumer->WaitForFrames(2));
    ASSERT_EQ(roster->StopNode(card->Node(), 0, true), B_OK);
    EXPECT_EQ(card->RunState(), BMediaEventLooper::B_STOPPED);
    EXPECT_EQ(card->EventQueue()->EventCount(), 0);
    const int64 sent = card->FramesSent();
    Settle();
    EXPECT_EQ(consumer->Frames().size(), size_t(sent));
    // Started again, it produces again.
    Start();
    EXPECT_TRUE(consumer->WaitForFrames(size_t(sent) + 2));
}

TEST_F(TestCardNodeTest, ReconnectionAtANewSizeOnlySendsBuffersOfTheNewSize)
{
    for (bool handGroup : {true, false}) {
        SCOPED_TRACE(handGroup ? "consumer's group" : "card's group");
        if (consumer != nullptr) {
            roster->StopNode(card->Node(), 0, true);
            Disconnect();
            roster->UnregisterNode(consumer);
            consumer->Release();
        }
        MakeConsumer({.handGroup = handGroup});
        ASSERT_EQ(Connect(VideoFormat(B_RGB32, 768, 576)), B_OK);
        Start();
        ASSERT_TRUE(consumer->WaitForFrames(2));
        Disconnect();
        ASSERT_EQ(Connect(VideoFormat(B_RGB32, 320, 240)), B_OK);
        const size_t before = consumer->Frames().size();
        ASSERT_TRUE(consumer->WaitForFrames(before + 4));
        for (const TestConsumer::Frame& frame : consumer->Frames()) {
            EXPECT_EQ(frame.sizeUsed, frame.connectionBytes);
            if (frame.connection == 2) {
                EXPECT_EQ(frame.sizeUsed, 320u * 240u * 4u);
                EXPECT_EQ(frame.fromGroup, handGroup);
                if (!handGroup) {
                    EXPECT_EQ(frame.sizeAvailable, 320u * 240u * 4u);
                }
            }
        }
    }
}

TEST_F(TestCardNodeTest, FramesWithoutAFreeBufferAreDroppedNotWaitedFor)
{
    MakeConsumer({.handGroup = true, .holdBuffers = true});
    ASSERT_EQ(Connect(VideoFormat(B_RGB16, 160, 120)), B_OK);
    Start();
    ASSERT_TRUE(consumer->WaitForFrames(3));
    const bigtime_t deadline = system_time() + WAIT;
    while (card->FramesDropped() < 2 && system_time() < deadline)
        snooze(10000);
    EXPECT_GE(card->FramesDropped(), 2);
    EXPECT_EQ(card->FramesSent(), 3);
    // The card still answers: a stop goes through while it waits for buffers.
    EXPECT_EQ(roster->StopNode(card->Node(), 0, true), B_OK);
    // Buffers back, frames flow again.
    Disconnect();
    ASSERT_EQ(Connect(VideoFormat(B_RGB16, 160, 120)), B_OK);
    Start();
    EXPECT_TRUE(consumer->WaitForFrames(4));
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
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
                  [] { return static_cast<BMediaNode*>(new TestConsumer({})); }, 0),
        B_OK);
    ASSERT_EQ(roster->GetVideoInput(&node), B_OK);
    EXPECT_EQ(node.kind & B_PHYSICAL_INPUT, 0u);
    EXPECT_NE(node.kind & B_BUFFER_CONSUMER, 0u);
    roster->ReleaseNode(node);
    kits::media::ResetDefaultNodes();
    ASSERT_EQ(RegisterDefaultNodes(), B_OK);
}

}
}
