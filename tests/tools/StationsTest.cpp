#include "tools/Stations.h"

#include "devices/ChannelPlan.h"
#include "devices/TestCardNode.h"
#include "tests/support/TestCard.h"
#include "video/StationPresets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

using devices::ChannelPlan;
using video::StationPreset;

std::string DataPath(const std::string& name)
{
    const char* root = std::getenv("OVELIN_TEST_DATA");
    return std::string(root != nullptr ? root : "tests/data") + "/tools/" + name;
}

class StationsTest : public test_support::MediaRosterTest {
protected:
    void SetUp() override
    {
        MediaRosterTest::SetUp();
        test_support::RegisterTestCard();
    }

    int Run(const std::vector<std::string>& args)
    {
        std::ostringstream outStream;
        std::ostringstream errStream;
        const int status = RunStations(args, outStream, errStream);
        out = outStream.str();
        err = errStream.str();
        return status;
    }

    std::string PresetsPath() const { return bootRoot + "/home/config/settings/Media/presets"; }

    std::string out;
    std::string err;
};

TEST(FindVideoFormatTest, NormsFindTheirFormatByNameFamilyAndVariants)
{
    const std::vector<std::string> card
        = {"Auto", "NTSC-M", "NTSC-M-JP", "PAL-B/G", "PAL-M", "PAL-N", "SECAM"};
    std::vector<std::string> device = card;
    device[3] = "PAL-B/G/D/H/I";
    const struct {
        const char* norm;
        int32 onCard;
        int32 onDevice;
    } cases[] = {
        {"PAL", 3, 3}, {"pal-bg", 3, 3}, {"PAL-M", 4, 4}, {"NTSC", 1, 1}, {"NTSC-JP", 2, 2},
        {"secam", 6, 6}, {"PAL-I", -1, 3}, {"PAL-DK", -1, -1}, {"MAC", -1, -1}, {"", -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.norm);
        EXPECT_EQ(FindVideoFormat(c.norm, card), c.onCard);
        EXPECT_EQ(FindVideoFormat(c.norm, device), c.onDevice);
    }
}

TEST_F(StationsTest, ImportMapsChannelsAndNormsAppendsAndListsWhatItCouldNot)
{
    const int32 pal = devices::VIDEO_FORMAT_PAL_BG;
    const int32 audio = *test_support::CardValue<int32>("Audio Format");
    ASSERT_EQ(video::WritePresets(video::PRESETS_PATH, {{"Kept", 2, 0, 0}}), B_OK);
    ASSERT_EQ(Run({"import", DataPath("stations.ini")}), 0) << err;
    EXPECT_NE(out.find("Nowhere (channel \"E99\""), std::string::npos) << out;
    EXPECT_NE(out.find("Nachbarland (norm \"PAL-I\""), std::string::npos) << out;
    EXPECT_NE(out.find("imported 3 of 4"), std::string::npos) << out;

    ASSERT_EQ(Run({"import", DataPath("stations.xml")}), 0) << err;
    EXPECT_NE(out.find("Caf\xC3\xA9 (channel \"99\""), std::string::npos) << out;
    const std::vector<StationPreset> expected = {
        {"Kept", 2, 0, 0},
        {"Erste", ChannelPlan::PositionOf("E7"), pal, audio},
        {"Info & Sport", ChannelPlan::PositionOf("33"), devices::VIDEO_FORMAT_NTSC_M, audio},
        {"Nachbarland", ChannelPlan::PositionOf("E11"), pal, audio},
        // In the order of their positions, the inactive one left out, the list's norm by default.
        {"Kinder & Co", ChannelPlan::PositionOf("E5"), devices::VIDEO_FORMAT_SECAM, audio},
        {"Dritte", ChannelPlan::PositionOf("48"), pal, audio},
    };
    std::vector<StationPreset> stored;
    ASSERT_EQ(video::ReadPresets(video::PRESETS_PATH, stored), B_OK);
    EXPECT_EQ(stored, expected);

    ASSERT_EQ(Run({"list"}), 0) << err;
    EXPECT_NE(out.find("P04   E11      PAL-B/G"), std::string::npos) << out;
    EXPECT_NE(out.find("P05   E5       SECAM          B/G            Kinder & Co\n"),
        std::string::npos) << out;
}

TEST_F(StationsTest, FailuresWriteNothing)
{
    std::filesystem::create_directories(folder.Path("lists"));
    std::filesystem::create_directories(std::filesystem::path(PresetsPath()).parent_path());
    const std::string notAList = folder.Path("lists/notes.txt");
    std::ofstream(notAList) << "channel = E7\n";
    const std::string damaged = "FOB1 and then nothing of a message";
    auto stored = [&] {
        std::ifstream file(PresetsPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const struct {
        std::vector<std::string> args;
        const char* presets;
        bool tuner;
    } cases[] = {
        {{"import", notAList}, "", true},
        {{"import", folder.Path("lists/missing.ini")}, "", true},
        {{"import", DataPath("stations.ini")}, damaged.c_str(), true},
        {{"import", DataPath("stations.ini")}, "", false},
        {{"list"}, damaged.c_str(), true},
        {{"frobnicate"}, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back() + " " + c.presets);
        std::ofstream(PresetsPath(), std::ios::binary | std::ios::trunc) << c.presets;
        if (!c.tuner) {
            kits::media::ResetDefaultNodes();
            test_support::RegisterTestCard(false);
        }
        EXPECT_NE(Run(c.args), 0);
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(stored(), c.presets);
    }
}

}
