#pragma once
// What every capture card node must do, as typed tests over a card: the test signal card runs
// them in devices_tests, a V4L2 node on the kernel's vivid driver in the test machine.
//
// A card is a type with: Node (the node class); Prepare() (readies the device, may fail with
// gtest assertions); Make() (a new node, the creator's reference); STATION and NOISE, labels of
// a channel with a colour station and of one with noise; PAL_WIDTH and NTSC_WIDTH, its native
// widths; and WAIT, how long to wait for frames in microseconds.

#include "devices/CaptureNode.h"
#include "kits/interface/FrameView.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "tests/support/MediaNodes.h"
#include "video/FindContrast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <cmath>
#include <cstring>
#include <vector>

namespace devices::test {

// What one frame shows: its contrast, and for B_RGB32 its colours, measured on every other
// pixel of every other row and on a grid of samples.
struct FrameStatistics {
    int32 contrast = 0;
    double meanLuma = 0;
    double lumaDeviation = 0;
    // Mean of each pixel's largest less smallest colour component.
    double chromaSpread = 0;
    // Pixels on a grid of 8 by 6, row by row.
    std::vector<uint32> samples;
};

// The median over the grid of how far red and blue moved from one frame to the other: moving
// objects change a few places, a turn of the hue most of them.
inline int32 ColourShift(const FrameStatistics& from, const FrameStatistics& to)
{
    std::vector<int32> shifts;
    for (size_t i = 0; i < std::min(from.samples.size(), to.samples.size()); i++) {
        const auto channel
            = [](uint32 pixel, int32 shift) { return int32(pixel >> shift & 0xFF); };
        shifts.push_back(std::abs(channel(from.samples[i], 16) - channel(to.samples[i], 16))
            + std::abs(channel(from.samples[i], 0) - channel(to.samples[i], 0)));
    }
    if (shifts.empty())
        return 0;
    std::nth_element(shifts.begin(), shifts.begin() + ptrdiff_t(shifts.size() / 2), shifts.end());
    return shifts[shifts.size() / 2];
}

inline FrameStatistics Measure(
    const uint8* bits, size_t sizeUsed, const media_video_display_info& display)
{
    FrameStatistics statistics;
    statistics.contrast
        = FindContrast(FrameView{const_cast<uint8*>(bits), int32(display.bytes_per_row),
                           int32(display.line_width), int32(display.line_count), display.format},
            sizeUsed);
    if (display.format != B_RGB32)
        return statistics;
    for (uint32 sample = 0; sample < 48; sample++) {
        uint32 pixel = 0;
        const size_t y = (2 * (sample / 8) + 1) * display.line_count / 12;
        const size_t x = (2 * (sample % 8) + 1) * display.line_width / 16;
        std::memcpy(&pixel, bits + y * display.bytes_per_row + x * 4, sizeof(pixel));
        statistics.samples.push_back(pixel);
    }
    double sum = 0, squares = 0, spread = 0;
    size_t count = 0;
    for (uint32 y = 0; y < display.line_count; y += 2) {
        const uint8* row = bits + size_t(y) * display.bytes_per_row;
        for (uint32 x = 0; x < display.line_width; x += 2) {
            const uint8* pixel = row + size_t(x) * 4;
            const double luma = 0.114 * pixel[0] + 0.587 * pixel[1] + 0.299 * pixel[2];
            sum += luma;
            squares += luma * luma;
            spread += std::max({pixel[0], pixel[1], pixel[2]})
                - std::min({pixel[0], pixel[1], pixel[2]});
            count++;
        }
    }
    if (count == 0)
        return statistics;
    statistics.meanLuma = sum / double(count);
    statistics.lumaDeviation = std::sqrt(
        std::max(0.0, squares / double(count) - statistics.meanLuma * statistics.meanLuma));
    statistics.chromaSpread = spread / double(count);
    return statistics;
}

// A card's node registered with the roster, a recording consumer, and the node's web.
template <typename Card>
class CaptureNodeTest : public testing::Test {
protected:
    using Consumer = test_support::TestConsumer;
    using Frame = Consumer::ReceivedFrame;

    void SetUp() override
    {
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        ASSERT_NO_FATAL_FAILURE(Card::Prepare());
        node = MakeNode();
        ASSERT_NE(node, nullptr);
        ASSERT_EQ(roster->RegisterNode(node), B_OK);
        ASSERT_NO_FATAL_FAILURE(RefreshWeb());
        ASSERT_NO_FATAL_FAILURE(MakeConsumer());
    }

    void TearDown() override
    {
        DropConsumer();
        if (node != nullptr) {
            roster->UnregisterNode(node);
            node->Release();
        }
    }

    virtual typename Card::Node* MakeNode() { return Card::Make(); }

    // Replaces the consumer; every frame it gets is measured.
    void MakeConsumer(test_support::TestConsumerOptions options = {})
    {
        DropConsumer();
        options.measure
            = [](const uint8* bits, size_t size, const media_video_display_info& display) {
                  return std::any(Measure(bits, size, display));
              };
        consumer = new Consumer(std::move(options));
        ASSERT_EQ(roster->RegisterNode(consumer), B_OK);
    }

    void DropConsumer()
    {
        if (consumer == nullptr)
            return;
        if (node != nullptr) {
            roster->StopNode(node->Node(), 0, true);
            Disconnect();
        }
        roster->UnregisterNode(consumer);
        consumer->Release();
        consumer = nullptr;
    }

    // The node builds a new web when its parameters change.
    void RefreshWeb()
    {
        ASSERT_EQ(roster->GetParameterWebFor(node->Node(), &web), B_OK);
        ASSERT_NE(web, nullptr);
    }

    BParameter* Find(const char* name) const { return test_support::FindParameter(web, name); }

    template <typename Value>
    Value Read(const char* name)
    {
        Value value{-12345};
        size_t size = sizeof(value);
        BParameter* parameter = Find(name);
        EXPECT_TRUE(parameter != nullptr && parameter->GetValue(&value, &size, nullptr) == B_OK)
            << name;
        return value;
    }

    int32 ReadInt(const char* name) { return Read<int32>(name); }
    float ReadFloat(const char* name) { return Read<float>(name); }

    template <typename Value>
    status_t Write(const char* name, Value value, bigtime_t when = BTimeSource::RealTime())
    {
        BParameter* parameter = Find(name);
        if (parameter == nullptr)
            return B_NAME_NOT_FOUND;
        return parameter->SetValue(&value, sizeof(value), when);
    }

    // The value of the "Channel" item with this label.
    int32 ChannelNamed(const char* label) const
    {
        auto* channels = dynamic_cast<BDiscreteParameter*>(Find("Channel"));
        for (int32 i = 0; channels != nullptr && i < channels->CountItems(); i++) {
            if (std::strcmp(channels->ItemNameAt(i), label) == 0)
                return channels->ItemValueAt(i);
        }
        ADD_FAILURE() << "no channel " << label;
        return -1;
    }

    status_t Connect(media_format format)
    {
        const status_t status = test_support::ConnectFirstFree(
            node->Node(), consumer->Node(), &format, &output, &input);
        connected = format;
        return status;
    }

    void Disconnect()
    {
        roster->Disconnect(node->ID(), output.source, consumer->ID(), input.destination);
    }

    // Starts the node a little ahead, so the first frame's time is known.
    bigtime_t Start()
    {
        const bigtime_t start = node->TimeSource()->Now() + 30000;
        EXPECT_EQ(roster->StartNode(node->Node(), start), B_OK);
        return start;
    }

    void Stop() { ASSERT_EQ(roster->StopNode(node->Node(), 0, true), B_OK); }

    bool WaitForFrames(size_t count) { return consumer->WaitForFrames(count, Card::WAIT); }

    // Returns once every buffer sent so far has reached the consumer: a call through the
    // consumer's port is served after the buffers queued before it.
    void Settle()
    {
        media_input free;
        int32 count = 0;
        roster->GetFreeInputsFor(consumer->Node(), &free, 1, &count);
    }

    // A frame captured after whatever was written before this call: the frames already
    // captured or queued are let through first.
    FrameStatistics FreshFrame()
    {
        EXPECT_TRUE(WaitForFrames(consumer->CountFrames() + 6));
        return std::any_cast<FrameStatistics>(consumer->Frames().back().measured);
    }

    BMediaRoster* roster = nullptr;
    typename Card::Node* node = nullptr;
    Consumer* consumer = nullptr;
    BParameterWeb* web = nullptr;
    media_output output;
    media_input input;
    media_format connected;
};

TYPED_TEST_SUITE_P(CaptureNodeTest);

TYPED_TEST_P(CaptureNodeTest, OffersTheTunerAndPictureParametersAndAppliesALaterWriteThen)
{
    const uint64 kinds = B_BUFFER_PRODUCER | B_CONTROLLABLE | B_PHYSICAL_INPUT;
    EXPECT_EQ(this->node->Kinds() & kinds, kinds);
    auto* formats = dynamic_cast<BDiscreteParameter*>(this->Find("Video Format"));
    ASSERT_NE(formats, nullptr);
    // Each standard at its own position, as the viewer stores positions.
    ASSERT_EQ(formats->CountItems(), 7);
    for (int32 i = 0; i < formats->CountItems(); i++)
        EXPECT_EQ(formats->ItemValueAt(i), i);
    EXPECT_EQ(this->ReadInt("Video Format"), 3);
    EXPECT_NE(this->ReadInt("Tuner Brand"), 0);
    EXPECT_NE(dynamic_cast<BDiscreteParameter*>(this->Find("Channel")), nullptr);
    EXPECT_NE(dynamic_cast<BDiscreteParameter*>(this->Find("Audio Format")), nullptr);
    for (const char* name : {"Brightness", "Contrast", "Saturation", "Hue"})
        EXPECT_NE(dynamic_cast<BContinuousParameter*>(this->Find(name)), nullptr) << name;

    auto* brightness = dynamic_cast<BContinuousParameter*>(this->Find("Brightness"));
    const float before = this->ReadFloat("Brightness");
    const float brighter = brightness->MaxValue();
    ASSERT_NE(before, brighter);
    const bigtime_t when = BTimeSource::RealTime() + 500000;
    ASSERT_EQ(this->Write("Brightness", brighter, when), B_OK);
    EXPECT_EQ(this->ReadFloat("Brightness"), before);
    EXPECT_TRUE(test_support::Await(
        [&] { return this->ReadFloat("Brightness") == brighter; }, TypeParam::WAIT));
    // Applied with the frames of its time, which are drawn a little ahead.
    EXPECT_GE(BTimeSource::RealTime(), when - 10000);
    // A value is four bytes.
    const int16 small = 0;
    EXPECT_NE(brightness->SetValue(&small, sizeof(small), BTimeSource::RealTime()), B_OK);
    EXPECT_EQ(this->ReadFloat("Brightness"), brighter);
    // A device keeps its controls from one node to the next.
    ASSERT_EQ(this->Write("Brightness", before), B_OK);
}

TYPED_TEST_P(CaptureNodeTest, OpenFieldsGetTheStandardsPictureAndFramesComeAtItsRate)
{
    const struct {
        int32 videoFormat;
        uint32 width;
        uint32 lines;
        float fieldRate;
    } cases[] = {{1, TypeParam::NTSC_WIDTH, 480, 59.94f}, {3, TypeParam::PAL_WIDTH, 576, 50}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.lines);
        ASSERT_EQ(this->Write("Video Format", entry.videoFormat), B_OK);
        ASSERT_NO_FATAL_FAILURE(this->RefreshWeb());
        EXPECT_EQ(this->ReadInt("Video Format"), entry.videoFormat);
        ASSERT_EQ(this->Connect(test_support::RawVideo(B_NO_COLOR_SPACE)), B_OK);
        const media_raw_video_format& video = this->connected.u.raw_video;
        EXPECT_EQ(video.display.format, B_RGB32);
        EXPECT_EQ(video.display.line_width, entry.width);
        EXPECT_EQ(video.display.line_count, entry.lines);
        EXPECT_EQ(video.display.bytes_per_row, entry.width * 4);
        EXPECT_NEAR(video.field_rate, entry.fieldRate, 0.001);
        EXPECT_EQ(video.interlace, 2u);
        EXPECT_EQ(video.orientation, uint32(B_VIDEO_TOP_LEFT_RIGHT));
        const size_t from = this->consumer->CountFrames();
        this->Start();
        ASSERT_TRUE(this->WaitForFrames(from + 30));
        const std::vector<typename TestFixture::Frame> frames = this->consumer->Frames();
        for (size_t i = from; i < frames.size(); i++) {
            EXPECT_EQ(frames[i].sizeUsed, size_t(entry.width) * entry.lines * 4);
            EXPECT_TRUE(frames[i].fromGroup);
            if (i > from) {
                EXPECT_GT(frames[i].sequence, frames[i - 1].sequence);
            }
        }
        // Frames a second, from the node's sequence numbers and the times the frames arrived.
        // The first frames may have been queued before the start. A loaded machine lets the
        // arrivals jitter, so the rate is checked loosely.
        const auto& first = frames[from + 4];
        const double frameRate = double(frames.back().sequence - first.sequence) * 1e6
            / double(frames.back().arrival - first.arrival);
        EXPECT_NEAR(frameRate, entry.fieldRate / 2, entry.fieldRate * 0.1);
        this->Stop();
        this->Disconnect();
    }
}

TYPED_TEST_P(CaptureNodeTest, KeepsWhatTheRequestNamesAndRefusesWhatItCannotMake)
{
    media_format asked = test_support::RawVideo(B_RGB15, 640, 240);
    asked.u.raw_video.display.bytes_per_row = 1280;
    asked.u.raw_video.pixel_width_aspect = 4;
    asked.u.raw_video.pixel_height_aspect = 3;
    ASSERT_EQ(this->Connect(asked), B_OK);
    const media_video_display_info& display = this->connected.u.raw_video.display;
    EXPECT_EQ(display.format, B_RGB15);
    EXPECT_EQ(display.line_width, 640u);
    EXPECT_EQ(display.line_count, 240u);
    EXPECT_EQ(display.bytes_per_row, 1280u);
    // Half the lines or fewer are one field.
    EXPECT_EQ(this->connected.u.raw_video.interlace, 1u);
    this->Disconnect();

    media_format narrow = test_support::RawVideo(B_RGB32, 640, 480);
    narrow.u.raw_video.display.bytes_per_row = 2000;
    media_format upsideDown = test_support::RawVideo(B_RGB32, 640, 480);
    upsideDown.u.raw_video.orientation = B_VIDEO_TOP_LEFT_RIGHT + 1;
    media_format offset = test_support::RawVideo(B_RGB32, 640, 480);
    offset.u.raw_video.display.line_offset = 2;
    media_format audio;
    audio.type = B_MEDIA_RAW_AUDIO;
    for (const media_format& refused : {test_support::RawVideo(B_RGB24, 768, 576),
             test_support::RawVideo(B_CMAP8), test_support::RawVideo(B_RGB32, 1921, 576),
             test_support::RawVideo(B_RGB32, 768, 1081), narrow, upsideDown, offset, audio}) {
        EXPECT_EQ(this->Connect(refused), B_MEDIA_BAD_FORMAT);
    }
    // A refused connection leaves the output free.
    EXPECT_EQ(this->Connect(test_support::RawVideo(B_GRAY8, 101, 77)), B_OK);
}

TYPED_TEST_P(CaptureNodeTest, AStationFollowsEachPictureControlAndAnEmptyChannelShowsNoise)
{
    ASSERT_EQ(this->Connect(test_support::RawVideo(B_RGB32)), B_OK);
    this->Start();
    ASSERT_EQ(this->Write("Channel", this->ChannelNamed(TypeParam::STATION)), B_OK);
    EXPECT_EQ(this->ReadInt("Channel"), this->ChannelNamed(TypeParam::STATION));
    enum { BRIGHTNESS, CONTRAST, SATURATION, HUE };
    const char* names[] = {"Brightness", "Contrast", "Saturation", "Hue"};
    float minimum[4], maximum[4], normal[4];
    for (int32 i = 0; i < 4; i++) {
        auto* parameter = dynamic_cast<BContinuousParameter*>(this->Find(names[i]));
        ASSERT_NE(parameter, nullptr) << names[i];
        minimum[i] = parameter->MinValue();
        maximum[i] = parameter->MaxValue();
        normal[i] = this->ReadFloat(names[i]);
    }
    // Writes the control at the value and measures a frame that shows it.
    const auto with = [&](int32 control, float value) {
        EXPECT_EQ(this->Write(names[control], value), B_OK) << names[control];
        return this->FreshFrame();
    };
    const FrameStatistics plain = this->FreshFrame();
    EXPECT_GT(plain.chromaSpread, 60);
    EXPECT_GT(with(BRIGHTNESS, maximum[BRIGHTNESS]).meanLuma, plain.meanLuma + 50);
    EXPECT_LT(with(BRIGHTNESS, minimum[BRIGHTNESS]).meanLuma, plain.meanLuma - 30);
    with(BRIGHTNESS, normal[BRIGHTNESS]);
    EXPECT_LT(with(SATURATION, minimum[SATURATION]).chromaSpread, 5);
    // On the grey picture, so that no colour is clipped.
    EXPECT_LT(with(CONTRAST, minimum[CONTRAST]).lumaDeviation, 5);
    EXPECT_GT(plain.lumaDeviation, 30);
    EXPECT_GT(with(CONTRAST, maximum[CONTRAST]).lumaDeviation, plain.lumaDeviation);
    with(CONTRAST, normal[CONTRAST]);
    EXPECT_GT(with(SATURATION, maximum[SATURATION]).chromaSpread, plain.chromaSpread + 10);
    with(SATURATION, normal[SATURATION]);

    // A turn of the hue moves the colours but not their brightness.
    const FrameStatistics turned = with(HUE, normal[HUE] + (maximum[HUE] - minimum[HUE]) / 4);
    EXPECT_GT(ColourShift(plain, turned), 20);
    EXPECT_NEAR(turned.meanLuma, plain.meanLuma, 10);
    const FrameStatistics back = with(HUE, normal[HUE]);
    EXPECT_NEAR(back.meanLuma, plain.meanLuma, 3);
    EXPECT_NEAR(back.chromaSpread, plain.chromaSpread, 3);
    EXPECT_LT(ColourShift(plain, back), 10);

    ASSERT_EQ(this->Write("Channel", this->ChannelNamed(TypeParam::NOISE)), B_OK);
    const FrameStatistics noise = this->FreshFrame();
    // Noise changes from pixel to pixel: far busier than a station's few edges.
    EXPECT_GT(noise.contrast, 4 * plain.contrast);
    EXPECT_GT(noise.contrast, 1000);
}

TYPED_TEST_P(CaptureNodeTest, AStopLeavesNothingToProduceAndAStartCarriesOn)
{
    ASSERT_EQ(this->Connect(test_support::RawVideo(B_RGB16, 192, 144)), B_OK);
    this->Start();
    ASSERT_TRUE(this->WaitForFrames(2));
    this->Stop();
    EXPECT_EQ(this->node->RunState(), BMediaEventLooper::B_STOPPED);
    EXPECT_EQ(this->node->EventQueue()->EventCount(), 0);
    const int64 sent = this->node->FramesSent();
    this->Settle();
    EXPECT_EQ(this->consumer->CountFrames(), size_t(sent));
    this->Start();
    EXPECT_TRUE(this->WaitForFrames(size_t(sent) + 2));
}

TYPED_TEST_P(CaptureNodeTest, AReconnectionAtANewSizeOnlySendsBuffersOfTheNewSize)
{
    for (bool handGroup : {true, false}) {
        SCOPED_TRACE(handGroup ? "consumer's group" : "node's group");
        ASSERT_NO_FATAL_FAILURE(this->MakeConsumer({.handGroup = handGroup}));
        ASSERT_EQ(this->Connect(test_support::RawVideo(B_RGB32, 768, 576)), B_OK);
        this->Start();
        ASSERT_TRUE(this->WaitForFrames(2));
        this->Disconnect();
        ASSERT_EQ(this->Connect(test_support::RawVideo(B_GRAY8, 101, 77)), B_OK);
        ASSERT_TRUE(this->WaitForFrames(this->consumer->CountFrames() + 4));
        for (const auto& frame : this->consumer->Frames()) {
            const media_video_display_info& display = frame.display;
            EXPECT_EQ(frame.sizeUsed, size_t(display.bytes_per_row) * display.line_count);
            EXPECT_EQ(frame.fromGroup, handGroup);
            if (frame.connection == 2) {
                EXPECT_EQ(frame.sizeUsed, 101u * 77u);
                if (!handGroup) {
                    EXPECT_EQ(frame.sizeAvailable, 101u * 77u);
                }
            }
        }
    }
}

TYPED_TEST_P(CaptureNodeTest, FramesWithoutAFreeBufferAreDroppedNotWaitedFor)
{
    ASSERT_NO_FATAL_FAILURE(this->MakeConsumer({.holdBuffers = true}));
    ASSERT_EQ(this->Connect(test_support::RawVideo(B_RGB16, 160, 120)), B_OK);
    this->Start();
    ASSERT_TRUE(this->WaitForFrames(3));
    EXPECT_TRUE(
        test_support::Await([&] { return this->node->FramesDropped() >= 2; }, TypeParam::WAIT));
    EXPECT_EQ(this->node->FramesSent(), 3);
    // The node still answers: a stop goes through while it lacks buffers.
    this->Stop();
    // Buffers back, frames flow again.
    this->Disconnect();
    ASSERT_EQ(this->Connect(test_support::RawVideo(B_RGB16, 160, 120)), B_OK);
    this->Start();
    EXPECT_TRUE(this->WaitForFrames(4));
}

REGISTER_TYPED_TEST_SUITE_P(CaptureNodeTest,
    OffersTheTunerAndPictureParametersAndAppliesALaterWriteThen,
    OpenFieldsGetTheStandardsPictureAndFramesComeAtItsRate,
    KeepsWhatTheRequestNamesAndRefusesWhatItCannotMake,
    AStationFollowsEachPictureControlAndAnEmptyChannelShowsNoise,
    AStopLeavesNothingToProduceAndAStartCarriesOn,
    AReconnectionAtANewSizeOnlySendsBuffersOfTheNewSize,
    FramesWithoutAFreeBufferAreDroppedNotWaitedFor);

}
