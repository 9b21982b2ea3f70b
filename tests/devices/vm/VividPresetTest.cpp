// A stored preset tuned on the kernel's vivid TV card, inside the test machine of
// scripts/vivid-vm.sh: the channel suite reads the presets file, sets the preset's standard and
// channel through the capture node, and the device then shows that channel's picture.

#include "channels/ChannelSuite.h"
#include "devices/V4l2CaptureNode.h"
#include "devices/V4l2Device.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/Await.h"
#include "tests/support/TestCard.h"
#include "video/StationPresets.h"

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

}
