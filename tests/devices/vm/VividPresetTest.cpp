// The channel suite on the kernel's vivid TV card, inside the test machine of
// scripts/vivid-vm.sh: a stored preset's standard and channel reach the device, which then shows
// that channel's picture, and a station scan finds the channels with a picture.

#include "channels/ChannelSuite.h"
#include "devices/FrequencyPlan.h"
#include "devices/V4l2CaptureNode.h"
#include "devices/V4l2Device.h"
#include "kits/interface/Window.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/channels/ListedPresets.h"
#include "tests/support/Await.h"
#include "tests/devices/vm/VividControl.h"
#include "tests/support/TestCard.h"
#include "video/StationPresets.h"
#include "video/TVView.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

namespace {

const char* const DEVICE = "/dev/video0";
// Generous: the machine is emulated on a shared host.
constexpr bigtime_t VM_WAIT = 20000000;

// The position of the first item of a discrete parameter whose name begins with `prefix`.
int32 ItemPosition(const char* parameterName, const char* prefix)
{
    auto* parameter
        = dynamic_cast<BDiscreteParameter*>(test_support::CardParameter(parameterName));
    for (int32 i = 0; parameter != nullptr && i < parameter->CountItems(); i++) {
        if (std::strncmp(parameter->ItemNameAt(i), prefix, std::strlen(prefix)) == 0)
            return i;
    }
    return -1;
}

struct Picture {
    uint32 height = 0;
    // The mean difference between neighbouring luma samples: a few units on a station's colour
    // bars, tens on the noise between stations.
    double roughness = 0;
};

// One frame captured beside the node, in the standard the device is on, after the tuner has
// settled for a few frames.
void Capture(Picture& picture)
{
    devices::V4l2Device device;
    ASSERT_EQ(device.Open(DEVICE), B_OK);
    devices::V4l2Format format;
    ASSERT_EQ(device.GetFormat(format), B_OK);
    format.fourcc = devices::FOURCC_YUYV;
    ASSERT_EQ(device.SetFormat(format), B_OK);
    ASSERT_EQ(device.StartStreaming(4), B_OK);
    devices::V4l2Frame frame;
    for (int i = 0; i < 4; i++) {
        ASSERT_EQ(device.WaitForFrame(2000000), B_OK);
        ASSERT_EQ(device.DequeueFrame(frame), B_OK);
        if (i < 3) {
            ASSERT_EQ(device.RequeueFrame(frame), B_OK);
        }
    }
    double sum = 0;
    size_t count = 0;
    for (uint32 y = 0; y < format.height; y++) {
        const uint8* row = frame.data + size_t(y) * format.bytesPerLine;
        for (uint32 x = 2; x < format.width * 2; x += 2, count++)
            sum += std::abs(int(row[x]) - int(row[x - 2]));
    }
    picture = {format.height, sum / double(count)};
    ASSERT_EQ(device.RequeueFrame(frame), B_OK);
    device.StopStreaming();
}

class VividPresetTest : public test_support::MediaRosterTest {
protected:
    void SetUp() override
    {
        MediaRosterTest::SetUp();
        ASSERT_TRUE(test_support::Await([] {
            struct stat info;
            return stat(DEVICE, &info) == 0;
        }, VM_WAIT)) << "no " << DEVICE;
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
            [] { return static_cast<BMediaNode*>(new devices::V4l2CaptureNode(DEVICE)); }, 0),
            B_OK);
    }

    void TearDown() override
    {
        if (suite != nullptr) {
            suite->Lock();
            suite->Quit();
        }
        MediaRosterTest::TearDown();
    }

    // Zaps to a preset and waits until the card is on its channel and has taken its standard.
    void ZapTo(int32 index, const char* label, int32 channel, int32 format)
    {
        suite->Lock();
        EXPECT_EQ(suite->Zap(index), label);
        suite->Unlock();
        EXPECT_TRUE(test_support::Await([&] {
            return test_support::CardValue<int32>("Channel") == channel
                && test_support::CardValue<int32>("Video Format") == format;
        }, VM_WAIT));
    }

    ChannelSuite* suite = nullptr;
};

TEST_F(VividPresetTest, ZappingTunesThePresetsStandardAndChannelAndShowsItsPicture)
{
    // E3 at 55.25 MHz carries a vivid station; 21 at 471.25 MHz lies off its grid: noise. Both
    // standards have 625 lines, so the channels stay those of one frequency plan.
    const int32 station = ItemPosition("Channel", "E3");
    const int32 between = ItemPosition("Channel", "21");
    const int32 pal = ItemPosition("Video Format", "PAL-B");
    const int32 secam = ItemPosition("Video Format", "SECAM");
    ASSERT_TRUE(station >= 0 && between >= 0 && pal >= 0 && secam >= 0);
    ASSERT_EQ(video::WritePresets(video::PRESETS_PATH,
        {{"Station", station, pal, {}}, {"Between", between, secam, {}}}), B_OK);
    int32 tunerStatus = -1;
    suite = new ChannelSuite(nullptr, &tunerStatus);
    ASSERT_EQ(tunerStatus, 0);

    Picture picture;
    ZapTo(0, "P 01", station, pal);
    ASSERT_NO_FATAL_FAILURE(Capture(picture));
    EXPECT_EQ(picture.height, 576u);
    EXPECT_LT(picture.roughness, 10);

    ZapTo(1, "P 02", between, secam);
    ASSERT_NO_FATAL_FAILURE(Capture(picture));
    EXPECT_GT(picture.roughness, 20);
}

TEST_F(VividPresetTest, AScanListsEachChannelWithAPictureOnceAndEndsOnTheFirst)
{
    // E2 to E11: the band I channels lie near vivid's stations at 49.25, 55.25 and 61.25 MHz,
    // E5, E6, E10 and E11 near 175.25, 181.25, 211.25 and 217.25; E7 to E9 between them.
    constexpr int32 LAST = 9;
    // vivid sends a station every 6 MHz from 49.25 MHz, in colour within 0.25 MHz of it and in
    // grey up to 1 MHz away, that included; further off, noise.
    const devices::FrequencyPlan& plan = devices::FrequencyPlan::Europe();
    std::vector<int32> pictures;
    for (int32 i = 0; i <= LAST; i++) {
        const int64 offset = (int64(plan.ChannelAt(i)->kilohertz) - 49250 + 6000000) % 6000;
        if (offset <= 1000 || offset >= 5000)
            pictures.push_back(i);
    }
    ASSERT_TRUE(!pictures.empty() && pictures.size() <= size_t(LAST)) << "pictures and noise";
    // Half the lines: the card sends its top field alone, which the emulated machine keeps up
    // with at its full rate.
    auto* window = new BWindow(BRect(50, 50, 50 + 383, 50 + 287), "Ovelin", B_TITLED_WINDOW, 0);
    auto* view = new TVView(BRect(0, 0, 383, 287), "TV", B_FOLLOW_ALL, 0);
    window->Lock();
    window->AddChild(view);
    int32 tunerStatus = -1;
    suite = new ChannelSuite(view, &tunerStatus);
    window->Unlock();
    window->Show();
    ASSERT_EQ(tunerStatus, 0);
    // As a station sends its test card: vivid's own colour bars, without the counters it writes
    // over them. A black pattern would measure 0, as no signal does.
    ASSERT_EQ(vivid_test::SetVividControl("osd_text_mode", 2), B_OK);
    suite->Lock();
    (void)suite->TuneChannel(0, ItemPosition("Video Format", "PAL-B"), -1);
    // Frames of the channel before still reach the consumer for up to the pipeline's latency
    // (the node allows itself at most 200 ms); in the machine they were seen for 180 ms.
    suite->SetScanSettleTime(600000);
    suite->SetScanLastChannel(LAST);
    suite->Unlock();
    suite->PostMessage(SUITE_SCAN_ALL);
    const auto channel = [] { return test_support::CardValue<int32>("Channel"); };
    EXPECT_TRUE(test_support::Await([&] { return channel() > 0; }, VM_WAIT));
    // Each step takes about a second and a half in the machine.
    EXPECT_TRUE(test_support::Await([&] { return channel() == 0; }, 2 * VM_WAIT));
    suite->Lock();
    const std::vector<video::StationPreset> listed = channels_test::ListedPresets();
    suite->DetachTVView();
    suite->Unlock();
    std::vector<int32> found;
    for (const video::StationPreset& preset : listed) {
        EXPECT_EQ(preset.name, "Unknown station");
        found.push_back(preset.channel);
    }
    EXPECT_EQ(found, pictures);
    window->Lock();
    window->Quit();
}

}
