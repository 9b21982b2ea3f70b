#include "channels/ChannelSuite.h"

#include "devices/TestCardNode.h"
#include "kits/app/AppDefs.h"
#include "kits/kernel/OS.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/Await.h"
#include "tests/support/TestCard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using test_support::CardChannel;
using test_support::CardValue;
using test_support::RegisterTestCard;
using test_support::WritePresets;

class ChannelSuiteTest : public test_support::MediaRosterTest {
protected:
    void TearDown() override
    {
        if (suite != nullptr)
            CloseSuite();
        MediaRosterTest::TearDown();
    }

    // Makes a suite over the test card with a tuner, locked.
    void MakeSuite()
    {
        RegisterTestCard();
        int32 tunerStatus = -1;
        suite = new ChannelSuite(nullptr, &tunerStatus);
        ASSERT_EQ(tunerStatus, 0);
        suite->Lock();
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

TEST_F(ChannelSuiteTest, WithoutATunerOrAReadablePresetsFileTheListIsEmptyAndUnwritten)
{
    const std::string path = bootRoot + "/home/config/settings/Media/presets";
    const struct {
        const char* what;
        std::function<void()> prepare;
        bool tuner;
    } cases[] = {
        {"card without tuner", [] { RegisterTestCard(false); }, false},
        {"no media service", [] { kits::media::SetMediaServerRunning(false); }, false},
        {"no video input", [] {}, false},
        {"no parameter web",
            [] {
                RegisterTestCard();
                kits::media::FailRosterOperation(
                    kits::media::RosterOperation::GetParameterWebFor, B_ERROR);
            },
            false},
        {"no presets file", [&] { std::filesystem::remove(path); RegisterTestCard(); }, true},
        {"presets file cut short",
            [&] {
                WritePresets({{2, "ONE"}});
                std::filesystem::resize_file(path, std::filesystem::file_size(path) - 3);
                RegisterTestCard();
            },
            true},
    };
    auto stored = [&] {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    WritePresets({{2, "ONE"}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        const std::string before = stored();
        int32 tunerStatus = 42;
        suite = new ChannelSuite(nullptr, &tunerStatus);
        EXPECT_EQ(tunerStatus, c.tuner ? 0 : -1);
        suite->Lock();
        // Without a tuner the window never runs.
        EXPECT_EQ(suite->Thread() >= 0, c.tuner);
        EXPECT_EQ(suite->CountPresets(), 0);
        EXPECT_EQ(suite->ZapUp(), "");
        EXPECT_EQ(suite->ZapDown(), "");
        EXPECT_EQ(suite->CurrentSelection(), -1);
        EXPECT_EQ(suite->GetPresetName(), "");
        CloseSuite();
        EXPECT_EQ(stored(), before);
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }
}

TEST_F(ChannelSuiteTest, PresetsEndWithTheChannelsAndNameTheUnnamed)
{
    // Two channels, three names: the list has two presets.
    WritePresets({{2, "ONE"}, {3, ""}, {{}, "THREE"}});
    MakeSuite();
    EXPECT_EQ(suite->CountPresets(), 2);
    EXPECT_EQ(suite->ZapUp(), "P 01");
    EXPECT_EQ(suite->GetPresetName(), "ONE");
    EXPECT_EQ(suite->ZapUp(), "P 02");
    // An empty name stays empty.
    EXPECT_EQ(suite->GetPresetName(), "");
    EXPECT_EQ(suite->ZapUp(), "P 01");
    CloseSuite();

    // Elements go by place: the one name belongs to the first preset.
    WritePresets({{4, {}}, {5, "FOUR"}});
    MakeSuite();
    EXPECT_EQ(suite->ZapUp(), "P 01");
    EXPECT_EQ(suite->GetPresetName(), "FOUR");
    EXPECT_EQ(suite->ZapUp(), "P 02");
    EXPECT_EQ(suite->GetPresetName(), "Unknown station");
}

TEST_F(ChannelSuiteTest, ZappingWrapsAtBothEndsWithTwoDigitLabels)
{
    std::vector<test_support::StoredPreset> presets;
    for (int32 i = 0; i < 12; i++)
        presets.push_back({100 + i, std::string("S").append(std::to_string(i + 1))});
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
    WritePresets({{channel, "FIRST"}, {channel + 1, "OTHER"}, {channel, "SECOND"}});
    MakeSuite();
    EXPECT_EQ(suite->CurrentSelection(), 2);
    EXPECT_EQ(suite->GetPresetName(), "SECOND");
    EXPECT_EQ(suite->ZapUp(), "P 01");
}

TEST_F(ChannelSuiteTest, ZappingTunesThePresetsFormatThenItsChannel)
{
    const int32 channel = CardChannel();
    WritePresets({{channel + 2, "NTSC", devices::VIDEO_FORMAT_NTSC_M}, {channel + 3, "PLAIN"}});
    MakeSuite();
    const std::optional<int32> format = CardValue<int32>("Video Format");
    ASSERT_TRUE(format.has_value() && *format != devices::VIDEO_FORMAT_NTSC_M);
    EXPECT_EQ(suite->ZapUp(), "P 01");
    suite->Unlock();
    EXPECT_TRUE(test_support::Await([&] { return CardValue<int32>("Channel") == channel + 2; }));
    EXPECT_EQ(CardValue<int32>("Video Format"), devices::VIDEO_FORMAT_NTSC_M);

    // A preset without a stored format has the one the card had when the list was read.
    suite->Lock();
    EXPECT_EQ(suite->ZapUp(), "P 02");
    suite->Unlock();
    EXPECT_TRUE(test_support::Await([&] { return CardValue<int32>("Channel") == channel + 3; }));
    EXPECT_EQ(CardValue<int32>("Video Format"), format);
}

}
