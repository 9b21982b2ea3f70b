// The capture node against the kernel's vivid test driver, run inside the test machine that
// scripts/vivid-vm.sh boots (vivid as a TV card: input 0 with a tuner, input 1 S-Video, error
// injection on). Frames come in real time from a kernel thread, so the checks are on sizes,
// rates, counts and picture statistics, never on exact timestamps or zero drops.

#include "devices/DefaultNodes.h"
#include "devices/V4l2CaptureNode.h"
#include "devices/V4l2Device.h"
#include "devices/V4l2DeviceTestHooks.h"
#include "devices/VideoStandard.h"
#include "kits/interface/Window.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/devices/CaptureNodeScenarios.h"
#include "tests/devices/vm/VividControl.h"
#include "video/TVView.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace devices::test {
namespace {

const char* const DEVICE = "/dev/video0";
// Generous: the machine is emulated on a shared host.
constexpr bigtime_t VM_WAIT = 20000000;

bool DeviceThere()
{
    return test_support::Await(
        [] {
            struct stat info;
            return stat(DEVICE, &info) == 0;
        },
        VM_WAIT);
}

using vivid_test::SetVividControl;

struct VividCard {
    using Node = V4l2CaptureNode;
    // E3 is 55.25 MHz, a vivid station; channel 21 at 471.25 MHz is 2 MHz from the nearest.
    static constexpr const char* STATION = "E3";
    static constexpr const char* NOISE = "21";
    static constexpr uint32 PAL_WIDTH = 720;
    static constexpr uint32 NTSC_WIDTH = 720;
    static constexpr bigtime_t WAIT = VM_WAIT;

    static void Prepare()
    {
        ASSERT_TRUE(DeviceThere()) << "no " << DEVICE;
        // Clean statistics: no text over the picture.
        ASSERT_EQ(SetVividControl("osd_text_mode", 2), B_OK);
    }

    static V4l2CaptureNode* Make() { return MakeAt(DEVICE, false); }

    static V4l2CaptureNode* MakeAt(const std::string& path, bool cable)
    {
        auto* node = new V4l2CaptureNode(path, cable);
        EXPECT_EQ(node->InitCheck(), B_OK);
        return node;
    }
};

}

INSTANTIATE_TYPED_TEST_SUITE_P(Vivid, CaptureNodeTest, testing::Types<VividCard>);

namespace {

class V4l2VividTest : public CaptureNodeTest<VividCard> {
protected:
    // The device goes through a stop and a start of the node; frames flow again.
    void RestartAndSeeFrames()
    {
        const size_t before = consumer->CountFrames();
        Stop();
        Start();
        EXPECT_TRUE(WaitForFrames(before + 5));
    }
};

// Streams a few frames by mmap, or by read() where the device offers only that.
class V4l2VividDeviceTest : public testing::TestWithParam<bool> { };

TEST_P(V4l2VividDeviceTest, StreamsWholeFramesWithRisingSequenceNumbers)
{
    const bool readOnly = GetParam();
    SetReadOnlyDevices(readOnly);
    V4l2Device device;
    const status_t opened = device.Open(DEVICE);
    SetReadOnlyDevices(false);
    ASSERT_EQ(opened, B_OK);
    EXPECT_EQ(device.Driver(), "vivid");
    EXPECT_EQ(device.CanStream(), !readOnly);
    EXPECT_TRUE(device.CanRead());
    // Interlaced 720x576 YUYV on PAL-B/G.
    V4l2Format format{720, 576, FOURCC_YUYV, V4L2_FIELD_ORDER_INTERLACED};
    ASSERT_EQ(device.SetStandard(STANDARD_PAL_B | STANDARD_PAL_G), B_OK);
    ASSERT_EQ(device.SetFormat(format), B_OK);
    EXPECT_EQ(format.bytesPerLine, 720u * 2);
    // Nothing to wait for before streaming starts.
    EXPECT_EQ(device.WaitForFrame(1000), B_NO_INIT);
    ASSERT_EQ(device.StartStreaming(4), B_OK);
    uint32 first = 0;
    uint32 last = 0;
    for (int i = 0; i < 6; i++) {
        ASSERT_EQ(device.WaitForFrame(2000000), B_OK);
        V4l2Frame frame;
        ASSERT_EQ(device.DequeueFrame(frame), B_OK);
        ASSERT_EQ(frame.bytesUsed, size_t(format.sizeImage));
        EXPECT_FALSE(frame.damaged);
        // On the clock of system_time(); vivid stamps the end of a frame it has just begun.
        EXPECT_LT(std::abs(frame.timestamp - system_time()), 1000000);
        // A picture, not an empty buffer: the luma of its rows varies.
        const auto [low, high] = std::minmax_element(frame.data, frame.data + frame.bytesUsed);
        EXPECT_GT(*high - *low, 100);
        // vivid numbers frames by its clock: in a loaded virtual machine two frames can carry
        // one number, but the numbers never go back, and six frames always move on.
        if (i == 0)
            first = frame.sequence;
        EXPECT_GE(frame.sequence, last);
        last = frame.sequence;
        ASSERT_EQ(device.RequeueFrame(frame), B_OK);
    }
    EXPECT_GT(last, first);
    if (!readOnly) {
        // The format cannot change while the device streams.
        EXPECT_EQ(device.SetFormat(format), B_BUSY);
        V4l2Frame none;
        none.index = 99;
        EXPECT_EQ(device.RequeueFrame(none), B_BAD_INDEX);
    }
    device.StopStreaming();
    EXPECT_FALSE(device.IsStreaming());
    // An input the device does not have is refused.
    EXPECT_EQ(device.SetInput(7), B_BAD_VALUE);
}

INSTANTIATE_TEST_SUITE_P(MappedAndRead, V4l2VividDeviceTest, testing::Bool());

TEST_F(V4l2VividTest, WorksOnTheTunerInputWritesItsSoundModesAndShowsGreyOffAStation)
{
    V4l2Device device;
    ASSERT_EQ(device.Open(DEVICE), B_OK);
    std::vector<V4l2Input> inputs;
    ASSERT_EQ(device.GetInputs(inputs), B_OK);
    const auto tuner = std::find_if(
        inputs.begin(), inputs.end(), [](const V4l2Input& entry) { return entry.hasTuner; });
    ASSERT_NE(tuner, inputs.end());
    EXPECT_EQ(ReadInt("Video Input"), int32(tuner->index));
    auto* sound = dynamic_cast<BDiscreteParameter*>(Find("Audio Format"));
    ASSERT_NE(sound, nullptr);
    const struct {
        const char* name;
        uint32 mode;
    } modes[] = {{"Mono", V4L2_AUDIO_MONO}, {"Stereo", V4L2_AUDIO_STEREO},
        {"Language 1", V4L2_AUDIO_LANGUAGE_1}, {"Language 2", V4L2_AUDIO_LANGUAGE_2},
        {"Both languages", V4L2_AUDIO_BOTH_LANGUAGES}};
    ASSERT_EQ(sound->CountItems(), int32(std::size(modes)));
    for (int32 i = 0; i < sound->CountItems(); i++) {
        EXPECT_STREQ(sound->ItemNameAt(i), modes[i].name);
        ASSERT_EQ(Write("Audio Format", i), B_OK);
        EXPECT_EQ(ReadInt("Audio Format"), i);
        V4l2Tuner state;
        ASSERT_EQ(device.GetTuner(tuner->tuner, state), B_OK);
        EXPECT_EQ(state.audioMode, modes[i].mode) << modes[i].name;
    }
    // vivid has none of the four switches.
    for (const char* name : {"Luma Coring", "Chroma Comb", "Gamma", "Error Diffusion"})
        EXPECT_EQ(Find(name), nullptr) << name;

    ASSERT_EQ(Connect(test_support::RawVideo(B_RGB32)), B_OK);
    Start();
    // E2 at 48.25 MHz lies 1 MHz below the station at 49.25: the picture is grey.
    ASSERT_EQ(Write("Channel", ChannelNamed("E2")), B_OK);
    const FrameStatistics grey = FreshFrame();
    EXPECT_LT(grey.chromaSpread, 5);
    EXPECT_GT(grey.lumaDeviation, 20);
}

// The node on a device that offers only read().
class V4l2VividReadTest : public V4l2VividTest {
protected:
    V4l2CaptureNode* MakeNode() override
    {
        SetReadOnlyDevices(true);
        V4l2CaptureNode* made = VividCard::Make();
        SetReadOnlyDevices(false);
        return made;
    }
};

TEST_F(V4l2VividReadTest, TheNodeDeliversAStationsPictureThroughRead)
{
    ASSERT_EQ(Write("Channel", ChannelNamed("E3")), B_OK);
    ASSERT_EQ(Connect(test_support::RawVideo(B_RGB32)), B_OK);
    Start();
    EXPECT_GT(FreshFrame().chromaSpread, 60);
    const std::vector<Frame> frames = consumer->Frames();
    EXPECT_EQ(frames.back().sizeUsed, 720u * 576u * 4u);
    for (size_t i = 1; i < frames.size(); i++)
        EXPECT_GT(frames[i].sequence, frames[i - 1].sequence);
}

class V4l2VividCableTest : public V4l2VividTest {
protected:
    V4l2CaptureNode* MakeNode() override { return VividCard::MakeAt(DEVICE, true); }
};

TEST_F(V4l2VividCableTest, TheCablePlanOffersItsChannelsOnNtscAndTunesThem)
{
    ASSERT_EQ(Write("Video Format", 1), B_OK);
    ASSERT_NO_FATAL_FAILURE(RefreshWeb());
    auto* channels = dynamic_cast<BDiscreteParameter*>(Find("Channel"));
    ASSERT_NE(channels, nullptr);
    EXPECT_EQ(channels->CountItems(), 125);
    ASSERT_EQ(Connect(test_support::RawVideo(B_RGB32)), B_OK);
    Start();
    // Cable channel 14 is 121.25 MHz, a vivid station (broadcast 14 is 471.25 MHz, noise).
    ASSERT_EQ(Write("Channel", ChannelNamed("14")), B_OK);
    EXPECT_GT(FreshFrame().chromaSpread, 60);
    V4l2Device device;
    ASSERT_EQ(device.Open(DEVICE), B_OK);
    uint32 units = 0;
    ASSERT_EQ(device.GetFrequency(0, units), B_OK);
    EXPECT_EQ(units, uint32(121.25 * 16));
    // On PAL the one European plan stands, whatever the setting.
    Stop();
    Disconnect();
    ASSERT_EQ(Write("Video Format", 3), B_OK);
    ASSERT_NO_FATAL_FAILURE(RefreshWeb());
    EXPECT_GE(ChannelNamed("E3"), 0);
}

TEST_F(V4l2VividTest, AnotherInputHasItsOwnRangesAndNoTuner)
{
    // The slider's ends are the device's ends, on either input, though vivid moves the device's
    // brightness range by 128 from one input to the next.
    const auto writeEnd = [&](bool top) {
        auto* brightness = dynamic_cast<BContinuousParameter*>(Find("Brightness"));
        if (brightness == nullptr) {
            ADD_FAILURE() << "no brightness";
            return 0;
        }
        EXPECT_EQ(
            Write("Brightness", top ? brightness->MaxValue() : brightness->MinValue()), B_OK);
        V4l2Device device;
        V4l2Control range;
        int32 value = 0;
        EXPECT_EQ(device.Open(DEVICE), B_OK);
        EXPECT_EQ(device.QueryControl(V4L2_CONTROL_BRIGHTNESS, range), B_OK);
        EXPECT_EQ(device.GetControl(V4L2_CONTROL_BRIGHTNESS, value), B_OK);
        EXPECT_EQ(value, top ? range.maximum : range.minimum);
        return range.maximum;
    };
    const int32 tunerMaximum = writeEnd(true);

    ASSERT_EQ(Write("Video Input", 1), B_OK);
    ASSERT_NO_FATAL_FAILURE(RefreshWeb());
    EXPECT_EQ(ReadInt("Video Input"), 1);
    EXPECT_EQ(ReadInt("Tuner Brand"), 0);
    EXPECT_EQ(Find("Channel"), nullptr);
    EXPECT_EQ(Find("Audio Format"), nullptr);
    EXPECT_NE(writeEnd(true), tunerMaximum);
    writeEnd(false);
    ASSERT_EQ(Connect(test_support::RawVideo(B_RGB32)), B_OK);
    Start();
    EXPECT_TRUE(WaitForFrames(5));
    Stop();
    Disconnect();
    ASSERT_EQ(Write("Video Input", 0), B_OK);
    ASSERT_NO_FATAL_FAILURE(RefreshWeb());
    EXPECT_NE(ReadInt("Tuner Brand"), 0);
    EXPECT_NE(Find("Channel"), nullptr);
    auto* brightness = dynamic_cast<BContinuousParameter*>(Find("Brightness"));
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
    DropConsumer();
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
    EXPECT_TRUE(test_support::Await([&] { return colours() >= 6; }, VM_WAIT));
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
        EXPECT_TRUE(test_support::Await([&] { return view->GetLineContrast() == -1; }, VM_WAIT))
            << error;
        ASSERT_TRUE(DeviceThere());
        view->Reconnect();
        EXPECT_TRUE(test_support::Await([&] { return view->GetLineContrast() >= 0; }, VM_WAIT))
            << error;
    }
    window->Lock();
    window->Quit();
    ASSERT_EQ(SetVividControl("osd_text_mode", 2), B_OK);
    // The default node lets go of the device, for the tests that unload the driver.
    kits::media::ResetDefaultNodes();
}

TEST_F(V4l2VividTest, StreamingErrorsAreStatusesAndARestartOrReconnectionCarriesOn)
{
    ASSERT_EQ(Connect(test_support::RawVideo(B_RGB32)), B_OK);
    ASSERT_EQ(SetVividControl("inject_vidioc_streamon_error", 1), B_OK);
    Start();
    ASSERT_TRUE(test_support::Await([&] { return node->StreamFailures() == 1; }, VM_WAIT));
    EXPECT_NE(node->LastError(), B_OK);
    EXPECT_EQ(consumer->CountFrames(), 0u);
    RestartAndSeeFrames();
    EXPECT_EQ(node->StreamFailures(), 1);

    ASSERT_EQ(SetVividControl("inject_fatal_streaming_error", 1), B_OK);
    ASSERT_TRUE(test_support::Await([&] { return node->StreamFailures() == 2; }, VM_WAIT));
    EXPECT_EQ(node->LastError(), B_IO_ERROR);
    // Nothing more is sent: the node has nothing left to do.
    Settle();
    EXPECT_EQ(node->EventQueue()->EventCount(), 0);
    EXPECT_EQ(consumer->CountFrames(), size_t(node->FramesSent()));
    // The viewer reconnects when its window changes size: that starts capturing again too.
    Disconnect();
    ASSERT_EQ(Connect(test_support::RawVideo(B_RGB32)), B_OK);
    EXPECT_TRUE(WaitForFrames(consumer->CountFrames() + 5));
}

// The node on another path to the device, as a USB stick gets when plugged in again.
class V4l2VividMovedTest : public V4l2VividTest {
protected:
    V4l2CaptureNode* MakeNode() override
    {
        const char* folder = std::getenv("TMPDIR");
        link = std::string(folder != nullptr ? folder : "/tmp") + "/video-moved";
        std::filesystem::remove(link);
        std::filesystem::create_symlink(DEVICE, link);
        return VividCard::MakeAt(link, false);
    }

    void TearDown() override
    {
        V4l2VividTest::TearDown();
        std::filesystem::remove(link);
    }

    std::string link;
};

TEST_F(V4l2VividMovedTest, AnUnpluggedDeviceStopsTheNodeAndIsFoundAgainByItsCardAndPort)
{
    ASSERT_EQ(Connect(test_support::RawVideo(B_RGB32)), B_OK);
    Start();
    ASSERT_TRUE(WaitForFrames(5));
    // vivid plugs the device back in once its last user has closed it: the holder keeps it
    // away until reset.
    V4l2Device holder;
    ASSERT_EQ(holder.Open(DEVICE), B_OK);
    ASSERT_EQ(SetVividControl("disconnect", 1), B_OK);
    ASSERT_TRUE(test_support::Await([&] { return node->StreamFailures() == 1; }, VM_WAIT));
    EXPECT_EQ(node->LastError(), V4l2Device::DeviceGone());
    // The parameters still answer, from what the node knew of the device.
    EXPECT_EQ(Write("Channel", ChannelNamed("E3")), B_OK);
    EXPECT_NE(ReadInt("Tuner Brand"), 0);
    // Starting while the device is away fails as a status.
    Stop();
    Start();
    ASSERT_TRUE(test_support::Await([&] { return node->StreamFailures() == 2; }, VM_WAIT));
    EXPECT_EQ(node->LastError(), V4l2Device::DeviceGone());
    // Back, but no longer where the node found it.
    std::filesystem::remove(link);
    holder.Close();
    RestartAndSeeFrames();
    EXPECT_EQ(node->StreamFailures(), 2);
}

}
}
