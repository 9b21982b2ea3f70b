#include "devices/VideoInputSelection.h"

#include "kits/storage/File.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace devices::test {
namespace {

const std::vector<ProbedVideoDevice> WEBCAM_AND_TV = {
    {"/dev/video0", "Webcam", false, ""},
    {"/dev/video2", "TV card", true, ""},
    {"/dev/video4", "Second TV card", true, ""},
};

TEST(VideoInputSelectionTest, ADeviceThatCameBackIsFoundByItsCardAndPort)
{
    const std::vector<ProbedVideoDevice> sticks = {
        {"/dev/video0", "Webcam", false, "usb-0000:00:14.0-2"},
        {"/dev/video2", "Capture stick", true, "usb-0000:00:14.0-3"},
        {"/dev/video4", "Capture stick", true, "usb-0000:00:14.0-1"},
    };
    // The same port wins among cards of one name.
    EXPECT_EQ(FindDeviceAgain(sticks, "Capture stick", "usb-0000:00:14.0-1"), "/dev/video4");
    // Another port: only a card that is alone of its name can be it.
    EXPECT_EQ(FindDeviceAgain(sticks, "Webcam", "usb-0000:00:14.0-5"), "/dev/video0");
    EXPECT_FALSE(FindDeviceAgain(sticks, "Capture stick", "usb-0000:00:14.0-5").has_value());
    // A port alone does not make another card the same device.
    EXPECT_FALSE(FindDeviceAgain(sticks, "TV card", "usb-0000:00:14.0-3").has_value());
    EXPECT_FALSE(FindDeviceAgain({}, "Webcam", "usb-0000:00:14.0-2").has_value());
}

TEST(VideoInputSelectionTest, ChoosesTheSettingsDeviceElseATunerElseTheFirst)
{
    const std::vector<ProbedVideoDevice> sticks
        = {{"/dev/video1", "Capture stick", false, ""}, {"/dev/video3", "Webcam", false, ""}};
    const struct {
        const std::vector<ProbedVideoDevice>& devices;
        std::string preferred;
        std::optional<std::string> chosen;
    } cases[] = {
        // No device leaves the test card, as does a setting that asks for it.
        {{}, "", std::nullopt},
        {{}, "/dev/video0", std::nullopt},
        {WEBCAM_AND_TV, std::string(VIDEO_INPUT_TEST_CARD), std::nullopt},
        {WEBCAM_AND_TV, "", "/dev/video2"},
        {sticks, "", "/dev/video1"},
        {WEBCAM_AND_TV, "/dev/video0", "/dev/video0"},
        {WEBCAM_AND_TV, "/dev/video4", "/dev/video4"},
        // An unplugged device of the setting is passed over.
        {WEBCAM_AND_TV, "/dev/video9", "/dev/video2"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(ChooseVideoInput(entry.devices, entry.preferred), entry.chosen)
            << entry.preferred;
    }
}

TEST(VideoInputSelectionTest, ProbingSkipsWhatIsNoCaptureDevice)
{
    TemporaryFolder folder;
    for (const char* name : {"video0", "video10", "video2", "videox", "radio0"})
        std::ofstream(folder.Path(name)) << "no device";
    EXPECT_TRUE(ProbeVideoDevices(folder.Path()).empty());
    EXPECT_TRUE(ProbeVideoDevices(folder.Path("missing")).empty());
}

class VideoInputSettingTest : public PreparedBootVolumeTest {
protected:
    std::string SettingPath() const
    {
        return bootRoot + "/home/config/settings/Media/Video Input";
    }
};

TEST_F(VideoInputSettingTest,
    AWrittenDeviceIsReadBackUnlessTheEnvironmentNamesOneAndAFileCountsByItsFirstLine)
{
    EXPECT_EQ(ReadVideoInputSetting(), "");
    ASSERT_EQ(WriteVideoInputSetting("  /dev/video1 \n"), B_OK);
    EXPECT_EQ(ReadVideoInputSetting(), "/dev/video1");
    std::ifstream file(SettingPath());
    std::string line;
    std::getline(file, line);
    EXPECT_EQ(line, "/dev/video1");
    // A value of several lines is refused and leaves the setting.
    EXPECT_EQ(WriteVideoInputSetting("/dev/video1\n/dev/video2"), B_BAD_VALUE);
    EXPECT_EQ(ReadVideoInputSetting(), "/dev/video1");
    // The environment overrides the setting.
    const char* before = std::getenv("OVELIN_VIDEO_INPUT");
    const std::string saved = before != nullptr ? before : "";
    setenv("OVELIN_VIDEO_INPUT", " test-card ", 1);
    EXPECT_EQ(VideoInputPreference(), "test-card");
    unsetenv("OVELIN_VIDEO_INPUT");
    EXPECT_EQ(VideoInputPreference(), "/dev/video1");
    if (before != nullptr)
        setenv("OVELIN_VIDEO_INPUT", saved.c_str(), 1);
    ASSERT_EQ(WriteVideoInputSetting(""), B_OK);
    EXPECT_EQ(ReadVideoInputSetting(), "");
    // Hand-written and damaged files.
    const struct {
        std::string bytes;
        const char* read;
    } cases[] = {{"\t/dev/video3\r\n/dev/video5\n", "/dev/video3"},
        {std::string("/dev/vid\0eo1\n", 13), ""}, {std::string(5000, 'x'), ""}};
    for (const auto& entry : cases) {
        std::ofstream(SettingPath(), std::ios::binary) << entry.bytes;
        EXPECT_EQ(ReadVideoInputSetting(), entry.read) << entry.bytes.size();
    }
    std::filesystem::remove(SettingPath());
    std::filesystem::create_directory(SettingPath());
    EXPECT_EQ(ReadVideoInputSetting(), "");
}

TEST_F(VideoInputSettingTest, TheCablePlanIsChosenOnlyWhenAskedForAndAnUnknownOneIsRefused)
{
    EXPECT_FALSE(CablePlanChosen());
    const struct {
        const char* written;
        status_t status;
        bool cable;
    } writes[] = {{" cable\n", B_OK, true}, {"broadcast", B_OK, false}, {"cable", B_OK, true},
        {"", B_OK, false}, {"cable", B_OK, true},
        // A refused value leaves the plan as it was.
        {"satellite", B_BAD_VALUE, true}, {"cable\nbroadcast", B_BAD_VALUE, true}};
    for (const auto& entry : writes) {
        EXPECT_EQ(WriteChannelPlanSetting(entry.written), entry.status) << entry.written;
        EXPECT_EQ(CablePlanChosen(), entry.cable) << entry.written;
    }
    // A damaged file, or another spelling, means broadcast.
    for (const std::string& bytes : {std::string("cab\0le\n", 7), std::string("Cable\n")}) {
        std::ofstream(bootRoot + "/home/config/settings/Media/Channel Plan", std::ios::binary)
            << bytes;
        EXPECT_FALSE(CablePlanChosen());
    }
}

}
}
