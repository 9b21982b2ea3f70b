#include "devices/V4l2Device.h"

#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace devices::test {
namespace {

size_t OpenDescriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        count++;
    return count;
}

TEST(V4l2DeviceTest, OpeningAMissingPathReportsEntryNotFound)
{
    V4l2Device device;
    EXPECT_EQ(device.Open("/dev/ovelin-no-such-video-device"), B_ENTRY_NOT_FOUND);
    EXPECT_FALSE(device.IsOpen());
}

TEST(V4l2DeviceTest, AFileThatIsNoVideoDeviceIsRefusedAndClosed)
{
    TemporaryFolder folder;
    const std::string path = folder.Path("video0");
    std::ofstream(path) << "not a device";
    const size_t before = OpenDescriptors();
    V4l2Device device;
    EXPECT_EQ(device.Open(path), B_UNSUPPORTED);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_TRUE(device.Path().empty());
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(V4l2DeviceTest, ACharacterDeviceWithoutV4l2IsRefused)
{
    V4l2Device device;
    EXPECT_EQ(device.Open("/dev/null"), B_UNSUPPORTED);
    EXPECT_FALSE(device.IsOpen());
}

TEST(V4l2DeviceTest, EveryCallOnAClosedDeviceReportsNoInit)
{
    V4l2Device device;
    std::vector<V4l2Input> inputs;
    uint32 index = 0;
    uint64 standard = 0;
    V4l2Tuner tuner;
    int32 value = 0;
    V4l2Format format;
    V4l2Frame frame;
    EXPECT_EQ(device.GetInputs(inputs), B_NO_INIT);
    EXPECT_EQ(device.SetInput(0), B_NO_INIT);
    EXPECT_EQ(device.GetInput(index), B_NO_INIT);
    EXPECT_EQ(device.GetStandard(standard), B_NO_INIT);
    EXPECT_EQ(device.GetTuner(0, tuner), B_NO_INIT);
    EXPECT_EQ(device.SetFrequency(0, 884), B_NO_INIT);
    EXPECT_EQ(device.GetControl(0, value), B_NO_INIT);
    EXPECT_EQ(device.SetFormat(format), B_NO_INIT);
    EXPECT_EQ(device.StartStreaming(4), B_NO_INIT);
    EXPECT_FALSE(device.IsStreaming());
    EXPECT_EQ(device.WaitForFrame(1000), B_NO_INIT);
    EXPECT_EQ(device.DequeueFrame(frame), B_NO_INIT);
    EXPECT_EQ(device.RequeueFrame(frame), B_NO_INIT);
    device.StopStreaming();
    device.Close();
}

TEST(V4l2DeviceTest, ErrnoValuesMapToStatuses)
{
    EXPECT_EQ(V4l2Device::StatusFor(0), B_OK);
    EXPECT_EQ(V4l2Device::StatusFor(ENOTTY), B_UNSUPPORTED);
    EXPECT_EQ(V4l2Device::StatusFor(EINVAL), B_BAD_VALUE);
    EXPECT_EQ(V4l2Device::StatusFor(EAGAIN), B_WOULD_BLOCK);
    EXPECT_EQ(V4l2Device::StatusFor(EBUSY), B_BUSY);
    EXPECT_EQ(V4l2Device::StatusFor(EIO), B_IO_ERROR);
    EXPECT_EQ(V4l2Device::StatusFor(EPIPE), B_IO_ERROR);
    EXPECT_EQ(V4l2Device::StatusFor(ENOMEM), B_NO_MEMORY);
    EXPECT_EQ(V4l2Device::StatusFor(EACCES), B_PERMISSION_DENIED);
    EXPECT_EQ(V4l2Device::StatusFor(ENODATA), B_NAME_NOT_FOUND);
    // An unplugged device answers ENODEV or ENXIO; both read as gone, and as nothing else.
    EXPECT_EQ(V4l2Device::StatusFor(ENODEV), V4l2Device::DeviceGone());
    EXPECT_EQ(V4l2Device::StatusFor(ENXIO), V4l2Device::DeviceGone());
    EXPECT_LT(V4l2Device::DeviceGone(), 0);
    for (int error : {EINVAL, EIO, EBUSY, EAGAIN, ENOTTY, ENOMEM, EACCES, ENOENT})
        EXPECT_NE(V4l2Device::StatusFor(error), V4l2Device::DeviceGone()) << error;
}

}
}
