#include "channels/ChannelSuite.h"

#include "devices/TestCardNode.h"
#include "devices/TestStation.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/kernel/OS.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/Parameter.h"
#include "kits/media/ParameterWeb.h"
#include "kits/storage/File.h"
#include "tests/support/Await.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* PRESETS = "/boot/home/config/settings/Media/presets";

// A preset as the file stores it; absent fields are left out of the file.
struct StoredPreset {
    std::optional<int32> channel;
    std::optional<std::string> name;
    std::optional<int32> videoFormat;
};

// The channel the test card starts on: that of its first station.
int32 CardChannel()
{
    return devices::DefaultTestStations().front().channel;
}

// The test card's tuner parameter named name, as the card holds it now; -1 when unreadable.
int32 CardValue(const char* name)
{
    BMediaRoster* roster = BMediaRoster::Roster();
    media_node input;
    BParameterWeb* web = nullptr;
    if (roster == nullptr || roster->GetVideoInput(&input) != B_OK)
        return -1;
    (void)roster->ReleaseNode(input);
    if (roster->GetParameterWebFor(input, &web) != B_OK || web == nullptr)
        return -1;
    for (int32 i = 0; i < web->CountParameters(); i++) {
        if (std::strcmp(web->ParameterAt(i)->Name(), name) != 0)
            continue;
        int32 value = 0;
        size_t size = sizeof(value);
        return web->ParameterAt(i)->GetValue(&value, &size, nullptr) == B_OK ? value : -1;
    }
    return -1;
}

class ChannelSuiteTest : public BootVolumeTest {
protected:
    void SetUp() override
    {
        BootVolumeTest::SetUp();
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }

    void TearDown() override
    {
        if (suite != nullptr)
            CloseSuite();
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
        BootVolumeTest::TearDown();
    }

    // Writes the presets file: each field as an array, "Channel" first, as the suite saves.
    void WritePresets(const std::vector<StoredPreset>& presets)
    {
        std::filesystem::create_directories(bootRoot + "/home/config/settings/Media");
        BMessage stored('CNLS');
        for (const StoredPreset& preset : presets) {
            if (preset.channel)
                stored.AddInt32("Channel", *preset.channel);
        }
        for (const StoredPreset& preset : presets) {
            if (preset.name)
                stored.AddString("Name", preset.name->c_str());
        }
        for (const StoredPreset& preset : presets) {
            if (preset.videoFormat)
                stored.AddInt32("VideoFormat", *preset.videoFormat);
        }
        BFile file(PRESETS, B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
        ASSERT_EQ(file.InitCheck(), B_OK);
        ASSERT_EQ(stored.Flatten(&file), B_OK);
    }

    // Makes a suite over the test card with a tuner, locked.
    void MakeSuite()
    {
        RegisterCard(true);
        int32 tunerStatus = -1;
        suite = new ChannelSuite(nullptr, &tunerStatus);
        ASSERT_EQ(tunerStatus, 0);
        suite->Lock();
    }

    // Makes the default video input a test card with or without a tuner.
    static void RegisterCard(bool tunerFitted)
    {
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
            [tunerFitted] {
                auto* card = new devices::TestCardNode();
                card->SetTunerFitted(tunerFitted);
                return static_cast<BMediaNode*>(card);
            }, 0), B_OK);
    }

    void CloseSuite()
    {
        if (suite->LockingThread() != find_thread(nullptr))
            suite->Lock();
        suite->Quit();
        suite = nullptr;
    }

    ChannelSuite* suite = nullptr;
};

TEST_F(ChannelSuiteTest, CardWithTunerRunsTheHiddenWindowWhichClosingOnlyHides)
{
    MakeSuite();
    EXPECT_GE(suite->Thread(), 0);
    EXPECT_TRUE(suite->IsHidden());
    EXPECT_STREQ(suite->Title(), "Channel Suite");
    EXPECT_EQ(suite->Frame(), BRect(50, 100, 360, 400));
    suite->Show();
    suite->Unlock();
    suite->PostMessage(B_QUIT_REQUESTED);
    EXPECT_TRUE(test_support::Await([this] {
        suite->Lock();
        const bool hidden = suite->IsHidden();
        suite->Unlock();
        return hidden;
    }));
    suite->Lock();
    EXPECT_GE(suite->Thread(), 0);
    suite->Unlock();
}

TEST_F(ChannelSuiteTest, WithoutAUsableTunerTheWindowNeverRunsAndHasNoPresets)
{
    const struct {
        const char* what;
        std::function<void()> prepare;
    } cases[] = {
        {"card without tuner", [] { RegisterCard(false); }},
        {"no media service", [] { kits::media::SetMediaServerRunning(false); }},
        {"no video input", [] {}},
        {"no parameter web",
            [] {
                RegisterCard(true);
                kits::media::FailRosterOperation(
                    kits::media::RosterOperation::GetParameterWebFor, B_ERROR);
            }},
    };
    WritePresets({{2, "ONE", {}}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        int32 tunerStatus = 42;
        suite = new ChannelSuite(nullptr, &tunerStatus);
        EXPECT_EQ(tunerStatus, -1);
        suite->Lock();
        EXPECT_LT(suite->Thread(), 0);
        EXPECT_EQ(suite->CountPresets(), 0);
        EXPECT_EQ(suite->ZapUp(), "");
        EXPECT_EQ(suite->GetPresetName(), "");
        CloseSuite();
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }
}

TEST_F(ChannelSuiteTest, AMissingOrDamagedPresetsFileLeavesTheListEmptyAndUnwritten)
{
    const std::string path = bootRoot + "/home/config/settings/Media/presets";
    for (bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "cut short" : "missing");
        if (damaged) {
            WritePresets({{2, "ONE", {}}});
            std::filesystem::resize_file(path, std::filesystem::file_size(path) - 3);
        }
        MakeSuite();
        EXPECT_EQ(suite->CountPresets(), 0);
        EXPECT_EQ(suite->ZapUp(), "");
        EXPECT_EQ(suite->ZapDown(), "");
        EXPECT_EQ(suite->CurrentSelection(), -1);
        EXPECT_EQ(suite->GetPresetName(), "");
        CloseSuite();
        EXPECT_EQ(std::filesystem::exists(path), damaged);
    }
}

TEST_F(ChannelSuiteTest, PresetsEndWithTheChannelsAndNameTheUnnamed)
{
    // Two channels, three names: the list has two presets.
    WritePresets({{2, "ONE", {}}, {3, "", {}}, {{}, "THREE", {}}});
    MakeSuite();
    EXPECT_EQ(suite->CountPresets(), 2);
    EXPECT_EQ(suite->ZapUp(), "P 01");
    EXPECT_EQ(suite->GetPresetName(), "ONE");
    EXPECT_EQ(suite->ZapUp(), "P 02");
    // An empty name stays empty.
    EXPECT_EQ(suite->GetPresetName(), "");
    EXPECT_EQ(suite->ZapUp(), "P 01");
    suite->Unlock();
    CloseSuite();

    // Elements go by place: the one name belongs to the first preset.
    WritePresets({{4, {}, {}}, {5, "FOUR", {}}});
    MakeSuite();
    EXPECT_EQ(suite->ZapUp(), "P 01");
    EXPECT_EQ(suite->GetPresetName(), "FOUR");
    EXPECT_EQ(suite->ZapUp(), "P 02");
    EXPECT_EQ(suite->GetPresetName(), "Unknown station");
}

TEST_F(ChannelSuiteTest, ZappingWrapsAtBothEndsWithTwoDigitLabels)
{
    std::vector<StoredPreset> presets;
    for (int32 i = 0; i < 12; i++)
        presets.push_back({100 + i, "S" + std::to_string(i + 1), {}});
    WritePresets(presets);
    MakeSuite();
    // Nothing selected: down goes to the last.
    EXPECT_EQ(suite->ZapDown(), "P 12");
    EXPECT_EQ(suite->GetPresetName(), "S12");
    EXPECT_EQ(suite->ZapUp(), "P 01");
    EXPECT_EQ(suite->ZapDown(), "P 12");
    EXPECT_EQ(suite->ZapDown(), "P 11");
    EXPECT_EQ(suite->Zap(9), "P 10");
    EXPECT_EQ(suite->Zap(12), "P 01");
    EXPECT_EQ(suite->Zap(-1), "P 12");
    EXPECT_EQ(suite->CurrentSelection(), 11);
}

TEST_F(ChannelSuiteTest, ThePresetOnTheCardsChannelIsSelectedTheLastOfThemWinning)
{
    const int32 channel = CardChannel();
    WritePresets({{channel, "FIRST", {}}, {channel + 1, "OTHER", {}}, {channel, "SECOND", {}}});
    MakeSuite();
    EXPECT_EQ(suite->CurrentSelection(), 2);
    EXPECT_EQ(suite->GetPresetName(), "SECOND");
    EXPECT_EQ(suite->ZapUp(), "P 01");
}

TEST_F(ChannelSuiteTest, ZappingTunesThePresetsFormatThenItsChannel)
{
    const int32 channel = CardChannel();
    WritePresets({{channel + 2, "NTSC", devices::VIDEO_FORMAT_NTSC_M},
        {channel + 3, "PLAIN", {}}});
    MakeSuite();
    const int32 format = CardValue("Video Format");
    ASSERT_NE(format, devices::VIDEO_FORMAT_NTSC_M);
    EXPECT_EQ(suite->ZapUp(), "P 01");
    suite->Unlock();
    EXPECT_TRUE(test_support::Await([&] { return CardValue("Channel") == channel + 2; }));
    EXPECT_EQ(CardValue("Video Format"), devices::VIDEO_FORMAT_NTSC_M);

    // A preset without a stored format has the one the card had when the list was read.
    suite->Lock();
    EXPECT_EQ(suite->ZapUp(), "P 02");
    suite->Unlock();
    EXPECT_TRUE(test_support::Await([&] { return CardValue("Channel") == channel + 3; }));
    EXPECT_EQ(CardValue("Video Format"), format);
}

}
