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

TEST(V4l2DeviceTest, AMissingPathAFileAndACharacterDeviceWithoutV4l2AreRefusedAndClosed)
{
    TemporaryFolder folder;
    std::ofstream(folder.Path("video0")) << "not a device";
    const std::pair<std::string, status_t> cases[]
        = {{"/dev/ovelin-no-such-video-device", B_ENTRY_NOT_FOUND},
            {folder.Path("video0"), B_UNSUPPORTED}, {"/dev/null", B_UNSUPPORTED}};
    for (const auto& [path, status] : cases) {
        const size_t before = OpenDescriptors();
        V4l2Device device;
        EXPECT_EQ(device.Open(path), status) << path;
        EXPECT_FALSE(device.IsOpen());
        EXPECT_TRUE(device.Path().empty());
        EXPECT_EQ(OpenDescriptors(), before);
    }
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
    // An unplugged device answers ENODEV or ENXIO; both read as gone, and as nothing else.
    const std::pair<int, status_t> cases[]
        = {{0, B_OK}, {ENOTTY, B_UNSUPPORTED}, {EINVAL, B_BAD_VALUE}, {EAGAIN, B_WOULD_BLOCK},
            {EBUSY, B_BUSY}, {EIO, B_IO_ERROR}, {EPIPE, B_IO_ERROR}, {ENOMEM, B_NO_MEMORY},
            {EACCES, B_PERMISSION_DENIED}, {ENODATA, B_NAME_NOT_FOUND},
            {ENODEV, V4l2Device::DeviceGone()}, {ENXIO, V4l2Device::DeviceGone()}};
    for (const auto& [error, status] : cases)
        EXPECT_EQ(V4l2Device::StatusFor(error), status) << error;
    EXPECT_LT(V4l2Device::DeviceGone(), 0);
    EXPECT_NE(V4l2Device::StatusFor(ENOENT), V4l2Device::DeviceGone());
}

}
}
