// The capture node against the kernel's vivid test driver, run inside the test machine that
// scripts/vivid-vm.sh boots (vivid as a TV card: input 0 with a tuner, input 1 S-Video, error
// injection on). Frames come in real time from a kernel thread, so the checks are on sizes,
// rates, counts and picture statistics, never on exact timestamps or zero drops.

#include "devices/DefaultNodes.h"
#include "devices/V4l2CaptureNode.h"
#include "devices/V4l2Device.h"
#include "devices/V4l2DeviceTestHooks.h"
#include "devices/VideoStandard.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/media/Buffer.h"
#include "kits/media/BufferConsumer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/MediaEventLooper.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "video/FindContrast.h"
#include "video/TVView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace devices::test {
namespace {

const char* const DEVICE = "/dev/video0";
// V4L2's brightness control.
constexpr uint32 V4L2_BRIGHTNESS_ID = 0x00980900;
// Generous: the machine is emulated on a shared host.
constexpr bigtime_t WAIT = 20000000;
constexpr bigtime_t CONSUMER_LATENCY = 20000;
constexpr int32 WIDTH = 720;

bool WaitUntil(const std::function<bool()>& condition, bigtime_t timeout = WAIT)
{
    const bigtime_t deadline = system_time() + timeout;
    while (!condition()) {
        if (system_time() > deadline)
            return false;
        snooze(5000);
    }
    return true;
}

// What one frame showed, measured on every other pixel of every other row.
struct FrameStatistics {
    bigtime_t startTime = 0;
    // system_time() when the consumer got the frame.
    bigtime_t arrival = 0;
    uint32 sequence = 0;
    size_t sizeUsed = 0;
    uint32 width = 0;
    uint32 lines = 0;
    int32 contrast = 0;
    double meanLuma = 0;
    double lumaDeviation = 0;
    // Mean of each pixel's largest less smallest colour component.
    double chromaSpread = 0;
    double meanRed = 0;
    double meanBlue = 0;
};

FrameStatistics Measure(const uint8* bits, uint32 bytesPerRow, uint32 width, uint32 lines)
{
    FrameStatistics statistics;
    double sum = 0;
    double squares = 0;
    double spread = 0;
    double red = 0;
    double blue = 0;
    size_t count = 0;
    for (uint32 y = 0; y < lines; y += 2) {
        const uint8* row = bits + size_t(y) * bytesPerRow;
        for (uint32 x = 0; x < width; x += 2) {
            const uint8* pixel = row + size_t(x) * 4;
            const double luma = 0.114 * pixel[0] + 0.587 * pixel[1] + 0.299 * pixel[2];
            sum += luma;
            squares += luma * luma;
            spread += std::max({pixel[0], pixel[1], pixel[2]})
                - std::min({pixel[0], pixel[1], pixel[2]});
            blue += pixel[0];
            red += pixel[2];
            count++;
        }
    }
    if (count == 0)
        return statistics;
    statistics.meanLuma = sum / double(count);
    statistics.lumaDeviation = std::sqrt(std::max(0.0,
        squares / double(count) - statistics.meanLuma * statistics.meanLuma));
    statistics.chromaSpread = spread / double(count);
    statistics.meanRed = red / double(count);
    statistics.meanBlue = blue / double(count);
    return statistics;
}

// A B_RGB32 consumer that hands the producer three buffers and measures every frame.
class MeasuringConsumer : public BMediaEventLooper, public BBufferConsumer {
public:
    MeasuringConsumer() : BMediaNode("Measuring Consumer"), BBufferConsumer(B_MEDIA_RAW_VIDEO) {}

    ~MeasuringConsumer() override { Quit(); }

    std::vector<FrameStatistics> Frames() const
    {
        std::lock_guard guard(lock);
        return frames;
    }

    size_t Count() const
    {
        std::lock_guard guard(lock);
        return frames.size();
    }

    // Waits for `count` frames more than `after`, and returns the last.
    bool WaitForFrames(size_t after, size_t count, FrameStatistics* last = nullptr)
    {
        std::unique_lock guard(lock);
        const bool came = arrived.wait_for(guard, std::chrono::microseconds(WAIT),
            [&] { return frames.size() >= after + count; });
        if (came && last != nullptr)
            *last = frames.back();
        return came;
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
        FrameStatistics statistics = Measure(static_cast<const uint8*>(buffer->Data()),
            display.bytes_per_row, display.line_width, display.line_count);
        const FrameView view{static_cast<uint8*>(buffer->Data()), int32(display.bytes_per_row),
            int32(display.line_width), int32(display.line_count), display.format};
        statistics.contrast = FindContrast(view, buffer->SizeUsed());
        statistics.startTime = buffer->Header()->start_time;
        statistics.arrival = system_time();
        statistics.sequence = buffer->Header()->u.raw_video.field_sequence;
        statistics.sizeUsed = buffer->SizeUsed();
        statistics.width = display.line_width;
        statistics.lines = display.line_count;
        buffer->Recycle();
        std::lock_guard guard(lock);
        frames.push_back(statistics);
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
        *outInput = input;
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
    }

    status_t FormatChanged(const media_source&, const media_destination&, int32,
        const media_format&) override
    {
        return B_MEDIA_BAD_FORMAT;
    }

private:
    media_input input;
    std::unique_ptr<BBufferGroup> group;
    mutable std::mutex lock;
    std::condition_variable arrived;
    // Guarded by lock.
    std::vector<FrameStatistics> frames;
};

// Sets a vivid control by the name v4l2-ctl shows (lower case, words joined by "_").
status_t SetVividControl(const char* name, int32 value)
{
    V4l2Device device;
    if (status_t status = device.Open(DEVICE); status != B_OK)
        return status;
    std::vector<V4l2Control> controls;
    if (status_t status = device.GetControls(controls); status != B_OK)
        return status;
    for (const V4l2Control& control : controls) {
        std::string plain;
        for (char c : control.name)
            plain += std::isalnum(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : '_';
        if (plain == name)
            return device.SetControl(control.id, value);
    }
    return B_NAME_NOT_FOUND;
}

class V4l2VividTest : public testing::Test {
protected:
    void SetUp() override
    {
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        ASSERT_TRUE(WaitUntil([] {
            struct stat info;
            return stat(DEVICE, &info) == 0;
        })) << "no " << DEVICE;
        // Clean statistics: no text over the picture.
        ASSERT_EQ(SetVividControl("osd_text_mode", 2), B_OK);
        node = new V4l2CaptureNode(devicePath, cable);
        ASSERT_EQ(node->InitCheck(), B_OK);
        ASSERT_EQ(roster->RegisterNode(node), B_OK);
        consumer = new MeasuringConsumer();
        ASSERT_EQ(roster->RegisterNode(consumer), B_OK);
        RefreshWeb();
    }

    void TearDown() override
    {
        if (node != nullptr) {
            roster->StopNode(node->Node(), 0, true);
            Disconnect();
            roster->UnregisterNode(node);
            node->Release();
        }
        if (consumer != nullptr) {
            roster->UnregisterNode(consumer);
            consumer->Release();
        }
    }

    // The node builds a new web when the input or the frequency plan changes.
    void RefreshWeb()
    {
        ASSERT_EQ(roster->GetParameterWebFor(node->Node(), &web), B_OK);
        ASSERT_NE(web, nullptr);
    }

    BParameter* Find(const char* name)
    {
        for (int32 i = 0; i < web->CountParameters(); i++) {
            if (std::strcmp(web->ParameterAt(i)->Name(), name) == 0)
                return web->ParameterAt(i);
        }
        return nullptr;
    }

    int32 ReadInt(const char* name)
    {
        int32 value = -12345;
        size_t size = sizeof(value);
        BParameter* parameter = Find(name);
        EXPECT_NE(parameter, nullptr) << name;
        if (parameter != nullptr) {
            EXPECT_EQ(parameter->GetValue(&value, &size, nullptr), B_OK) << name;
        }
        return value;
    }

    template <typename Value>
    status_t Write(const char* name, Value value)
    {
        BParameter* parameter = Find(name);
        if (parameter == nullptr)
            return B_NAME_NOT_FOUND;
        return parameter->SetValue(&value, sizeof(value), BTimeSource::RealTime());
    }

    // The position of the "Channel" item with this label.
    int32 ChannelNamed(const char* label)
    {
        auto* channels = dynamic_cast<BDiscreteParameter*>(Find("Channel"));
        EXPECT_NE(channels, nullptr);
        for (int32 i = 0; channels != nullptr && i < channels->CountItems(); i++) {
            if (std::strcmp(channels->ItemNameAt(i), label) == 0)
                return channels->ItemValueAt(i);
        }
        ADD_FAILURE() << "no channel " << label;
        return -1;
    }

    status_t Connect(color_space space = B_RGB32, uint32 width = 0, uint32 lines = 0)
    {
        media_output free;
        int32 count = 0;
        if (status_t status = roster->GetFreeOutputsFor(node->Node(), &free, 1, &count,
                B_MEDIA_RAW_VIDEO);
            status != B_OK) {
            return status;
        }
        media_format format;
        format.type = B_MEDIA_RAW_VIDEO;
        format.u.raw_video = media_raw_video_format::wildcard;
        format.u.raw_video.display.format = space;
        format.u.raw_video.display.line_width = width;
        format.u.raw_video.display.line_count = lines;
        status_t status = roster->Connect(free.source, consumer->Destination(), &format, &output,
            &input);
        connected = format;
        return status;
    }

    void Disconnect()
    {
        roster->Disconnect(node->ID(), output.source, consumer->ID(), input.destination);
    }

    void Start()
    {
        ASSERT_EQ(roster->StartNode(node->Node(), node->TimeSource()->Now() + 10000), B_OK);
    }

    void Stop()
    {
        ASSERT_EQ(roster->StopNode(node->Node(), 0, true), B_OK);
    }

    // Unplugs the device while the node streams from it, and sees the node fail once. vivid
    // plugs the device back in once its last user has closed it: HOLDER keeps it away until
    // reset.
    void UnplugWhileRunning(std::unique_ptr<V4l2Device>& holder)
    {
        ASSERT_EQ(Connect(), B_OK);
        Start();
        ASSERT_TRUE(consumer->WaitForFrames(0, 5));
        holder = std::make_unique<V4l2Device>();
        ASSERT_EQ(holder->Open(DEVICE), B_OK);
        ASSERT_EQ(SetVividControl("disconnect", 1), B_OK);
        ASSERT_TRUE(WaitUntil([&] { return node->StreamFailures() == 1; }));
        EXPECT_EQ(node->LastError(), V4l2Device::DeviceGone());
    }

    // PAL-B/G, connected and running.
    void StartOnPal()
    {
        ASSERT_EQ(Write("Video Format", 3), B_OK);
        RefreshWeb();
        ASSERT_EQ(Connect(), B_OK);
        Start();
    }

    // A frame captured after whatever was written before this call.
    FrameStatistics FreshFrame()
    {
        // The frames already captured or in the device's queue are let through first.
        FrameStatistics last;
        EXPECT_TRUE(consumer->WaitForFrames(consumer->Count(), 6, &last));
        return last;
    }

    // Frames a second, from the device's sequence numbers and the times the frames arrived,
    // over a second or more, so the emulated machine's jitter hardly counts.
    double FrameRate(const std::vector<FrameStatistics>& frames, size_t from)
    {
        const FrameStatistics& first = frames[from];
        const FrameStatistics& last = frames.back();
        if (last.arrival <= first.arrival)
            return 0;
        return double(last.sequence - first.sequence) * 1e6
            / double(last.arrival - first.arrival);
    }

    // The path and channel plan the node is made with.
    std::string devicePath = DEVICE;
    bool cable = false;
    BMediaRoster* roster = nullptr;
    V4l2CaptureNode* node = nullptr;
    MeasuringConsumer* consumer = nullptr;
    BParameterWeb* web = nullptr;
    media_output output;
    media_input input;
    media_format connected;
};

// Interlaced 720x576 YUYV on PAL-B/G; FORMAT gets what the device chose.
void SetPalYuyv(V4l2Device& device, V4l2Format& format)
{
    format.width = 720;
    format.height = 576;
    format.fourcc = FOURCC_YUYV;
    format.field = V4L2_FIELD_ORDER_INTERLACED;
    ASSERT_EQ(device.SetStandard(STANDARD_PAL_B | STANDARD_PAL_G), B_OK);
    ASSERT_EQ(device.SetFormat(format), B_OK);
}

TEST(V4l2VividDeviceTest, StreamsMappedFramesWithRisingSequenceNumbers)
{
    V4l2Device device;
    ASSERT_EQ(device.Open(DEVICE), B_OK);
    EXPECT_EQ(device.Driver(), "vivid");
    EXPECT_TRUE(device.CanStream());
    V4l2Format format;
    ASSERT_NO_FATAL_FAILURE(SetPalYuyv(device, format));
    EXPECT_EQ(format.bytesPerLine, 720u * 2);
    // Nothing to wait for before streaming starts.
    EXPECT_EQ(device.WaitForFrame(1000), B_NO_INIT);
    ASSERT_EQ(device.StartStreaming(4), B_OK);
    // The format cannot change while the device streams.
    EXPECT_EQ(device.SetFormat(format), B_BUSY);
    uint32 last = 0;
    for (int i = 0; i < 8; i++) {
        ASSERT_EQ(device.WaitForFrame(2000000), B_OK);
        V4l2Frame frame;
        ASSERT_EQ(device.DequeueFrame(frame), B_OK);
        EXPECT_EQ(frame.bytesUsed, size_t(format.sizeImage));
        EXPECT_FALSE(frame.damaged);
        // On the clock of system_time(); vivid stamps the end of a frame it has just begun.
        EXPECT_LT(std::abs(frame.timestamp - system_time()), 1000000);
        if (i > 0) {
            EXPECT_GT(frame.sequence, last);
        }
        last = frame.sequence;
        ASSERT_EQ(device.RequeueFrame(frame), B_OK);
    }
    V4l2Frame none;
    none.index = 99;
    EXPECT_EQ(device.RequeueFrame(none), B_BAD_INDEX);
    device.StopStreaming();
    EXPECT_FALSE(device.IsStreaming());
    // An input the device does not have is refused.
    EXPECT_EQ(device.SetInput(7), B_BAD_VALUE);
}

TEST(V4l2VividDeviceTest, ReadsWholeFramesWhereTheDeviceOffersOnlyRead)
{
    SetReadOnlyDevices(true);
    V4l2Device device;
    const status_t opened = device.Open(DEVICE);
    SetReadOnlyDevices(false);
    ASSERT_EQ(opened, B_OK);
    EXPECT_FALSE(device.CanStream());
    EXPECT_TRUE(device.CanRead());
    V4l2Format format;
    ASSERT_NO_FATAL_FAILURE(SetPalYuyv(device, format));
    ASSERT_EQ(device.StartStreaming(4), B_OK);
    uint32 last = 0;
    for (int i = 0; i < 6; i++) {
        ASSERT_EQ(device.WaitForFrame(2000000), B_OK);
        V4l2Frame frame;
        ASSERT_EQ(device.DequeueFrame(frame), B_OK);
        ASSERT_EQ(frame.bytesUsed, size_t(format.sizeImage));
        // A picture, not an empty buffer: the luma of its rows varies.
        uint8 low = 255;
        uint8 high = 0;
        for (size_t at = 0; at < frame.bytesUsed; at += 2) {
            low = std::min(low, frame.data[at]);
            high = std::max(high, frame.data[at]);
        }
        EXPECT_GT(high - low, 100);
        if (i > 0) {
            EXPECT_GT(frame.sequence, last);
        }
        last = frame.sequence;
        ASSERT_EQ(device.RequeueFrame(frame), B_OK);
    }
    device.StopStreaming();
    EXPECT_FALSE(device.IsStreaming());
}

TEST_F(V4l2VividTest, WorksOnTheTunerInput)
{
    V4l2Device device;
    ASSERT_EQ(device.Open(DEVICE), B_OK);
    std::vector<V4l2Input> inputs;
    ASSERT_EQ(device.GetInputs(inputs), B_OK);
    const auto tuner = std::find_if(inputs.begin(), inputs.end(),
        [](const V4l2Input& entry) { return entry.hasTuner; });
    ASSERT_NE(tuner, inputs.end());
    EXPECT_EQ(ReadInt("Video Input"), int32(tuner->index));
    EXPECT_NE(ReadInt("Tuner Brand"), 0);
    ASSERT_NE(Find("Channel"), nullptr);
    ASSERT_NE(Find("Audio Format"), nullptr);
    auto* formats = dynamic_cast<BDiscreteParameter*>(Find("Video Format"));
    ASSERT_NE(formats, nullptr);
    // vivid takes every standard: "Auto" and all six standards are offered, each value at its
    // own position.
    ASSERT_EQ(formats->CountItems(), 7);
    for (int32 i = 0; i < formats->CountItems(); i++)
        EXPECT_EQ(formats->ItemValueAt(i), i);
    EXPECT_EQ(ReadInt("Video Format"), 3);
    for (const char* name : {"Brightness", "Contrast", "Saturation", "Hue"})
        EXPECT_NE(dynamic_cast<BContinuousParameter*>(Find(name)), nullptr) << name;
    // The tuner's sound modes, each written through to the tuner.
    auto* sound = dynamic_cast<BDiscreteParameter*>(Find("Audio Format"));
    ASSERT_NE(sound, nullptr);
    std::vector<std::string> modes;
    for (int32 i = 0; i < sound->CountItems(); i++)
        modes.push_back(sound->ItemNameAt(i));
    EXPECT_EQ(modes, (std::vector<std::string>{"Mono", "Stereo", "Language 1", "Language 2",
        "Both languages"}));
    // V4L2's audio modes: mono 0, stereo 1, second language 2, first 3, both 4.
    const uint32 audioModes[] = {0, 1, 3, 2, 4};
    for (int32 i = 0; i < sound->CountItems(); i++) {
        ASSERT_EQ(Write("Audio Format", i), B_OK);
        EXPECT_EQ(ReadInt("Audio Format"), i);
        V4l2Tuner state;
        ASSERT_EQ(device.GetTuner(tuner->tuner, state), B_OK);
        EXPECT_EQ(state.audioMode, audioModes[i]) << modes[size_t(i)];
    }
    // vivid has none of the four switches.
    for (const char* name : {"Luma Coring", "Chroma Comb", "Gamma", "Error Diffusion"})
        EXPECT_EQ(Find(name), nullptr) << name;
}

TEST_F(V4l2VividTest, PalAndNtscGiveTheirSizesAndFrameRates)
{
    const struct {
        int32 videoFormat;
        uint32 lines;
        float fieldRate;
        double frameRate;
    } cases[] = {{3, 576, 50.0f, 25.0}, {1, 480, 59.94f, 29.97}, {3, 576, 50.0f, 25.0}};
    for (const auto& entry : cases) {
        ASSERT_EQ(Write("Video Format", entry.videoFormat), B_OK);
        RefreshWeb();
        EXPECT_EQ(ReadInt("Video Format"), entry.videoFormat);
        ASSERT_EQ(Connect(), B_OK);
        const media_raw_video_format& video = connected.u.raw_video;
        EXPECT_EQ(video.display.line_width, uint32(WIDTH));
        EXPECT_EQ(video.display.line_count, entry.lines);
        EXPECT_NEAR(video.field_rate, entry.fieldRate, 0.001);
        EXPECT_EQ(video.interlace, 2u);
        Start();
        const size_t from = consumer->Count();
        ASSERT_TRUE(consumer->WaitForFrames(from, 36)) << entry.videoFormat;
        const std::vector<FrameStatistics> frames = consumer->Frames();
        const FrameStatistics& last = frames.back();
        EXPECT_EQ(last.width, uint32(WIDTH));
        EXPECT_EQ(last.lines, entry.lines);
        EXPECT_EQ(last.sizeUsed, size_t(WIDTH) * entry.lines * 4);
        // Skip the first frames, queued before the start.
        const double rate = FrameRate(frames, from + 4);
        std::printf("Video Format %d: %ux%u, %.2f frames/s; node sent %lld, dropped %lld\n",
            entry.videoFormat, last.width, last.lines, rate, (long long)node->FramesSent(),
            (long long)node->FramesDropped());
        // The emulated machine's timer ticks, which pace the driver, fall behind under load: the
        // rate is checked loosely, the device's own frame period exactly below.
        EXPECT_NEAR(rate, entry.frameRate, entry.frameRate * 0.2) << entry.videoFormat;
        for (size_t i = from + 1; i < frames.size(); i++)
            EXPECT_GT(frames[i].sequence, frames[i - 1].sequence);
        Stop();
        Disconnect();

        uint32 numerator = 0;
        uint32 denominator = 0;
        V4l2Device device;
        ASSERT_EQ(device.Open(DEVICE), B_OK);
        ASSERT_EQ(device.GetFrameInterval(numerator, denominator), B_OK);
        EXPECT_NEAR(double(denominator) / numerator, entry.frameRate, 0.01);
    }
}

TEST_F(V4l2VividTest, AStationShowsColourOneMegahertzOffGreyFarOffNoise)
{
    ASSERT_NO_FATAL_FAILURE(StartOnPal());
    // E3 is 55.25 MHz, a vivid station; E2 at 48.25 MHz lies 1 MHz below the one at 49.25;
    // channel 21 at 471.25 MHz is 2 MHz from the nearest.
    ASSERT_EQ(Write("Channel", ChannelNamed("E3")), B_OK);
    EXPECT_EQ(ReadInt("Channel"), ChannelNamed("E3"));
    const FrameStatistics station = FreshFrame();
    ASSERT_EQ(Write("Channel", ChannelNamed("E2")), B_OK);
    const FrameStatistics grey = FreshFrame();
    ASSERT_EQ(Write("Channel", ChannelNamed("21")), B_OK);
    const FrameStatistics noise = FreshFrame();
    std::printf("station: contrast %d chroma %.1f luma %.1f\n", station.contrast,
        station.chromaSpread, station.meanLuma);
    std::printf("1 MHz off: contrast %d chroma %.1f luma %.1f\n", grey.contrast,
        grey.chromaSpread, grey.meanLuma);
    std::printf("far off: contrast %d chroma %.1f luma %.1f\n", noise.contrast,
        noise.chromaSpread, noise.meanLuma);
    EXPECT_GT(station.chromaSpread, 60);
    EXPECT_LT(grey.chromaSpread, 5);
    EXPECT_GT(grey.lumaDeviation, 20);
    // Noise changes from pixel to pixel: far busier than the bars' few edges.
    EXPECT_GT(noise.contrast, 4 * std::max(station.contrast, grey.contrast));
    EXPECT_GT(noise.contrast, 1000);
}

// The node on a device that offers only read().
class V4l2VividReadTest : public V4l2VividTest {
protected:
    void SetUp() override
    {
        SetReadOnlyDevices(true);
        V4l2VividTest::SetUp();
    }

    void TearDown() override
    {
        V4l2VividTest::TearDown();
        SetReadOnlyDevices(false);
    }
};

TEST_F(V4l2VividReadTest, TheNodeDeliversAStationsPictureThroughRead)
{
    ASSERT_NO_FATAL_FAILURE(StartOnPal());
    ASSERT_EQ(Write("Channel", ChannelNamed("E3")), B_OK);
    const FrameStatistics station = FreshFrame();
    EXPECT_EQ(station.width, uint32(WIDTH));
    EXPECT_EQ(station.lines, 576u);
    EXPECT_GT(station.chromaSpread, 60);
    const size_t from = consumer->Count();
    ASSERT_TRUE(consumer->WaitForFrames(from, 10));
    const std::vector<FrameStatistics> frames = consumer->Frames();
    for (size_t i = from + 1; i < frames.size(); i++)
        EXPECT_GT(frames[i].sequence, frames[i - 1].sequence);
    Stop();
    Disconnect();
}

class V4l2VividCableTest : public V4l2VividTest {
protected:
    void SetUp() override
    {
        cable = true;
        V4l2VividTest::SetUp();
    }
};

TEST_F(V4l2VividCableTest, TheCablePlanOffersItsChannelsOnNtscAndTunesThem)
{
    ASSERT_EQ(Write("Video Format", 1), B_OK);
    RefreshWeb();
    auto* channels = dynamic_cast<BDiscreteParameter*>(Find("Channel"));
    ASSERT_NE(channels, nullptr);
    EXPECT_EQ(channels->CountItems(), 125);
    ASSERT_EQ(Connect(), B_OK);
    Start();
    // Cable channel 14 is 121.25 MHz, a vivid station (broadcast 14 is 471.25 MHz, noise).
    ASSERT_EQ(Write("Channel", ChannelNamed("14")), B_OK);
    const FrameStatistics station = FreshFrame();
    EXPECT_GT(station.chromaSpread, 60);
    V4l2Device device;
    ASSERT_EQ(device.Open(DEVICE), B_OK);
    uint32 units = 0;
    ASSERT_EQ(device.GetFrequency(0, units), B_OK);
    EXPECT_EQ(units, uint32(121.25 * 16));
    // On PAL the one European plan stands, whatever the setting.
    Stop();
    Disconnect();
    ASSERT_EQ(Write("Video Format", 3), B_OK);
    RefreshWeb();
    EXPECT_GE(ChannelNamed("E3"), 0);
}

TEST_F(V4l2VividTest, EachPictureControlChangesTheFrames)
{
    ASSERT_EQ(Write("Video Format", 3), B_OK);
    RefreshWeb();
    ASSERT_EQ(Write("Channel", ChannelNamed("E3")), B_OK);
    ASSERT_EQ(Connect(), B_OK);
    Start();
    const auto range = [&](const char* name) {
        auto* parameter = dynamic_cast<BContinuousParameter*>(Find(name));
        EXPECT_NE(parameter, nullptr) << name;
        return std::pair{parameter->MinValue(), parameter->MaxValue()};
    };
    const auto [brightnessMin, brightnessMax] = range("Brightness");
    const auto [contrastMin, contrastMax] = range("Contrast");
    const auto [saturationMin, saturationMax] = range("Saturation");
    const auto [hueMin, hueMax] = range("Hue");
    float defaults[4] = {};
    const char* names[] = {"Brightness", "Contrast", "Saturation", "Hue"};
    for (int i = 0; i < 4; i++) {
        size_t size = sizeof(float);
        ASSERT_EQ(Find(names[i])->GetValue(&defaults[i], &size, nullptr), B_OK);
    }
    const FrameStatistics normal = FreshFrame();

    ASSERT_EQ(Write("Brightness", brightnessMax), B_OK);
    const FrameStatistics bright = FreshFrame();
    EXPECT_GT(bright.meanLuma, normal.meanLuma + 50);
    ASSERT_EQ(Write("Brightness", brightnessMin), B_OK);
    const FrameStatistics dark = FreshFrame();
    EXPECT_LT(dark.meanLuma, normal.meanLuma - 30);
    ASSERT_EQ(Write("Brightness", defaults[0]), B_OK);

    ASSERT_EQ(Write("Contrast", contrastMin), B_OK);
    const FrameStatistics flat = FreshFrame();
    EXPECT_LT(flat.lumaDeviation, 5);
    EXPECT_GT(normal.lumaDeviation, 30);
    ASSERT_EQ(Write("Contrast", contrastMax), B_OK);
    EXPECT_GT(FreshFrame().lumaDeviation, normal.lumaDeviation);
    ASSERT_EQ(Write("Contrast", defaults[1]), B_OK);

    ASSERT_EQ(Write("Saturation", saturationMin), B_OK);
    const FrameStatistics pale = FreshFrame();
    EXPECT_LT(pale.chromaSpread, 5);
    ASSERT_EQ(Write("Saturation", saturationMax), B_OK);
    EXPECT_GT(FreshFrame().chromaSpread, normal.chromaSpread + 10);
    ASSERT_EQ(Write("Saturation", defaults[2]), B_OK);

    // A turn of the hue moves the bars' colours but not their brightness.
    ASSERT_EQ(Write("Hue", hueMax / 2 + hueMin / 2 + (hueMax - hueMin) / 4), B_OK);
    const FrameStatistics turned = FreshFrame();
    EXPECT_GT(std::abs(turned.meanRed - normal.meanRed)
            + std::abs(turned.meanBlue - normal.meanBlue), 10);
    EXPECT_NEAR(turned.meanLuma, normal.meanLuma, 10);
    ASSERT_EQ(Write("Hue", defaults[3]), B_OK);
    const FrameStatistics back = FreshFrame();
    EXPECT_NEAR(back.meanLuma, normal.meanLuma, 3);
    EXPECT_NEAR(back.chromaSpread, normal.chromaSpread, 3);
}

TEST_F(V4l2VividTest, AnotherInputHasItsOwnRangesAndNoTuner)
{
    // The slider's top is the device's top, on either input, though vivid moves the device's
    // brightness range by 128 from one input to the next.
    const auto deviceBrightness = [](V4l2Control& range, int32& value) {
        V4l2Device device;
        ASSERT_EQ(device.Open(DEVICE), B_OK);
        ASSERT_EQ(device.QueryControl(V4L2_BRIGHTNESS_ID, range), B_OK);
        ASSERT_EQ(device.GetControl(V4L2_BRIGHTNESS_ID, value), B_OK);
    };
    V4l2Control tunerRange;
    V4l2Control otherRange;
    int32 value = 0;
    auto* brightness = dynamic_cast<BContinuousParameter*>(Find("Brightness"));
    ASSERT_NE(brightness, nullptr);
    ASSERT_EQ(Write("Brightness", brightness->MaxValue()), B_OK);
    deviceBrightness(tunerRange, value);
    EXPECT_EQ(value, tunerRange.maximum);

    ASSERT_EQ(Write("Video Input", 1), B_OK);
    RefreshWeb();
    EXPECT_EQ(ReadInt("Video Input"), 1);
    EXPECT_EQ(ReadInt("Tuner Brand"), 0);
    EXPECT_EQ(Find("Channel"), nullptr);
    EXPECT_EQ(Find("Audio Format"), nullptr);
    brightness = dynamic_cast<BContinuousParameter*>(Find("Brightness"));
    ASSERT_NE(brightness, nullptr);
    ASSERT_EQ(Write("Brightness", brightness->MaxValue()), B_OK);
    deviceBrightness(otherRange, value);
    EXPECT_NE(otherRange.maximum, tunerRange.maximum);
    EXPECT_EQ(value, otherRange.maximum);
    ASSERT_EQ(Write("Brightness", brightness->MinValue()), B_OK);
    deviceBrightness(otherRange, value);
    EXPECT_EQ(value, otherRange.minimum);
    ASSERT_EQ(Connect(), B_OK);
    Start();
    EXPECT_TRUE(consumer->WaitForFrames(0, 5));
    Stop();
    Disconnect();
    ASSERT_EQ(Write("Video Input", 0), B_OK);
    RefreshWeb();
    EXPECT_NE(ReadInt("Tuner Brand"), 0);
    EXPECT_NE(Find("Channel"), nullptr);
    brightness = dynamic_cast<BContinuousParameter*>(Find("Brightness"));
    ASSERT_NE(brightness, nullptr);
    ASSERT_EQ(Write("Brightness", (brightness->MinValue() + brightness->MaxValue()) / 2), B_OK);
}

TEST_F(V4l2VividTest, TheViewerDrawsTheLivePictureAndRunsOnThroughDeviceErrors)
{
    // The program's own path: the default video input, its view and consumer in a window.
    ASSERT_EQ(Write("Video Format", 3), B_OK);
    ASSERT_EQ(Write("Channel", ChannelNamed("E3")), B_OK);
    ASSERT_EQ(SetVividControl("osd_text_mode", 0), B_OK);
    // The viewer's node is the device's only user, as vivid comes back from an unplugging only
    // when its last user has let go.
    roster->UnregisterNode(node);
    node->Release();
    node = nullptr;
    kits::media::ResetDefaultNodes();
    ASSERT_EQ(RegisterDefaultNodes(), B_OK);
    auto* window = new BWindow(BRect(50, 50, 50 + 767, 50 + 575), "Ovelin", B_TITLED_WINDOW, 0);
    auto* view = new TVView(BRect(0, 0, 767, 575), "TV", B_FOLLOW_ALL, 0);
    window->Lock();
    window->AddChild(view);
    window->Unlock();
    window->Show();
    const auto colours = [&] {
        window->Lock();
        const kits::interface::FrameBuffer& buffer = window->ContentBuffer();
        std::vector<uint32> seen;
        for (int32 y = 0; y < buffer.Height(); y += 16) {
            for (int32 x = 0; x < buffer.Width(); x += 16) {
                const uint32 pixel = buffer.PixelAt(x, y) & 0xE0E0E0;
                if (std::find(seen.begin(), seen.end(), pixel) == seen.end())
                    seen.push_back(pixel);
            }
        }
        window->Unlock();
        return seen.size();
    };
    // Colour bars and their text: many colours once frames are drawn.
    EXPECT_TRUE(WaitUntil([&] { return colours() >= 6; }));
    EXPECT_GE(view->GetLineContrast(), 0);
    const char* work = std::getenv("OVELIN_VM_WORK");
    const std::string path = std::string(work != nullptr ? work : "/tmp") + "/vivid-snapshot.png";
    window->Lock();
    EXPECT_EQ(window->WriteSnapshot(path.c_str()), B_OK);
    window->Unlock();

    // Device errors leave the viewer running without a picture; its next reconnection (after
    // a resize or a tuning) brings the picture back.
    for (const char* error : {"inject_fatal_streaming_error", "disconnect"}) {
        ASSERT_EQ(SetVividControl(error, 1), B_OK) << error;
        EXPECT_TRUE(WaitUntil([&] { return view->GetLineContrast() == -1; })) << error;
        ASSERT_TRUE(WaitUntil([] {
            struct stat info;
            return stat(DEVICE, &info) == 0;
        }));
        view->Reconnect();
        EXPECT_TRUE(WaitUntil([&] { return view->GetLineContrast() >= 0; })) << error;
    }
    window->Lock();
    window->Quit();
    ASSERT_EQ(SetVividControl("osd_text_mode", 2), B_OK);
    // The default node lets go of the device, for the tests that unload the driver.
    kits::media::ResetDefaultNodes();
    ASSERT_EQ(RegisterDefaultNodes(), B_OK);
}

TEST_F(V4l2VividTest, AStreamOnErrorIsAStatusAndTheNextStartWorks)
{
    ASSERT_EQ(Connect(), B_OK);
    ASSERT_EQ(SetVividControl("inject_vidioc_streamon_error", 1), B_OK);
    Start();
    ASSERT_TRUE(WaitUntil([&] { return node->StreamFailures() == 1; }));
    EXPECT_NE(node->LastError(), B_OK);
    EXPECT_EQ(consumer->Count(), 0u);
    Stop();
    Start();
    EXPECT_TRUE(consumer->WaitForFrames(0, 5));
    EXPECT_EQ(node->StreamFailures(), 1);
}

TEST_F(V4l2VividTest, AFatalStreamingErrorStopsProductionAndAReconnectionCarriesOn)
{
    ASSERT_EQ(Connect(), B_OK);
    Start();
    ASSERT_TRUE(consumer->WaitForFrames(0, 5));
    ASSERT_EQ(SetVividControl("inject_fatal_streaming_error", 1), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return node->StreamFailures() == 1; }));
    EXPECT_EQ(node->LastError(), B_IO_ERROR);
    // Nothing more is sent: a few frame periods pass without a frame.
    const int64 stopped = node->FramesSent();
    snooze(300000);
    EXPECT_EQ(node->FramesSent(), stopped);
    // The viewer reconnects when its window changes size: that starts capturing again too.
    Disconnect();
    ASSERT_EQ(Connect(), B_OK);
    EXPECT_TRUE(consumer->WaitForFrames(consumer->Count(), 5));
}

TEST_F(V4l2VividTest, AnUnpluggedDeviceStopsTheNodeAndItCarriesOnWhenTheDeviceIsBack)
{
    std::unique_ptr<V4l2Device> holder;
    ASSERT_NO_FATAL_FAILURE(UnplugWhileRunning(holder));
    // The parameters still answer, from what the node knew of the device.
    EXPECT_EQ(Write("Channel", ChannelNamed("E3")), B_OK);
    EXPECT_NE(ReadInt("Tuner Brand"), 0);

    // Starting while the device is away fails as a status.
    Stop();
    Start();
    ASSERT_TRUE(WaitUntil([&] { return node->StreamFailures() == 2; }));
    EXPECT_EQ(node->LastError(), V4l2Device::DeviceGone());
    const size_t before = consumer->Count();

    holder.reset();
    Stop();
    Start();
    EXPECT_TRUE(consumer->WaitForFrames(before, 5));
    EXPECT_EQ(node->StreamFailures(), 2);
}

// The node on another path to the device, as a USB stick gets when plugged in again.
class V4l2VividMovedTest : public V4l2VividTest {
protected:
    void SetUp() override
    {
        const char* folder = std::getenv("TMPDIR");
        link = std::string(folder != nullptr ? folder : "/tmp") + "/video-moved";
        std::filesystem::remove(link);
        std::filesystem::create_symlink(DEVICE, link);
        devicePath = link;
        V4l2VividTest::SetUp();
    }

    void TearDown() override
    {
        V4l2VividTest::TearDown();
        std::filesystem::remove(link);
    }

    std::string link;
};

TEST_F(V4l2VividMovedTest, ADeviceBackUnderAnotherPathIsFoundByItsCardAndPort)
{
    std::unique_ptr<V4l2Device> holder;
    ASSERT_NO_FATAL_FAILURE(UnplugWhileRunning(holder));
    // Back, but no longer where the node found it.
    std::filesystem::remove(link);
    holder.reset();
    const size_t before = consumer->Count();
    Stop();
    Start();
    EXPECT_TRUE(consumer->WaitForFrames(before, 5));
    EXPECT_EQ(node->StreamFailures(), 1);
}

}
}
