#include "channels/ChannelSuite.h"

#include "channels/qvChannelItem.h"
#include "devices/ChannelPlan.h"
#include "devices/TestCardNode.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/ListView.h"
#include "kits/interface/Menu.h"
#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "kits/kernel/OS.h"
#include "kits/media/Controllable.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"
#include "kits/storage/MallocIO.h"
#include "tests/support/Await.h"
#include "tests/support/MessageWith.h"
#include "tests/support/TestCard.h"
#include "video/StationPresets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using test_support::CardChannel;
using test_support::CardValue;
using test_support::RegisterTestCard;
using test_support::WritePresets;
using video::StationPreset;

// A video input whose web holds only the discrete parameters named, with these items, each
// valued at its first item; for the webs no capture card has.
class TunerDouble : public BControllable {
public:
    explicit TunerDouble(const std::map<std::string, int32>& itemCounts)
        : BMediaNode("Tuner double"), values(itemCounts.size(), 1)
    {
        auto* web = new BParameterWeb();
        BParameterGroup* group = web->MakeGroup("Tuner");
        int32 id = 0;
        for (const auto& [name, count] : itemCounts) {
            BDiscreteParameter* parameter
                = group->MakeDiscreteParameter(id++, B_MEDIA_RAW_VIDEO, name.c_str(), B_GENERIC);
            for (int32 i = 0; i < count; i++)
                (void)parameter->AddItem(i, std::to_string(i).c_str());
        }
        (void)SetParameterWeb(web);
    }

    BMediaAddOn* AddOn(int32*) const override { return nullptr; }

protected:
    status_t GetParameterValue(int32 id, bigtime_t*, void* value, size_t* ioSize) override
    {
        std::memcpy(value, &values.at(size_t(id)), sizeof(int32));
        *ioSize = sizeof(int32);
        return B_OK;
    }

    void SetParameterValue(int32, bigtime_t, const void*, size_t) override {}

private:
    std::vector<int32> values;
};

void RegisterTunerDouble(const std::map<std::string, int32>& itemCounts)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
        [itemCounts] { return static_cast<BMediaNode*>(new TunerDouble(itemCounts)); }, 0),
        B_OK);
}

std::string GoldenPath()
{
    const char* root = std::getenv("OVELIN_TEST_DATA");
    return std::string(root != nullptr ? root : "tests/data") + "/channels/three-presets.msg";
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class ChannelSuiteTest : public test_support::MediaRosterTest {
protected:
    void TearDown() override
    {
        if (suite != nullptr)
            CloseSuite();
        MediaRosterTest::TearDown();
    }

    // Makes a suite over the video input registered (the test card with a tuner by default),
    // locked; its tuner status.
    int32 MakeSuite(bool registerCard = true)
    {
        if (registerCard)
            RegisterTestCard();
        int32 tunerStatus = 42;
        suite = new ChannelSuite(nullptr, &tunerStatus);
        suite->Lock();
        return tunerStatus;
    }

    // Quits the suite, which saves the presets.
    void CloseSuite()
    {
        if (suite->LockingThread() != find_thread(nullptr))
            suite->Lock();
        suite->Quit();
        suite = nullptr;
    }

    // The presets the list holds, formats and all.
    std::vector<StationPreset> Listed() const
    {
        std::vector<StationPreset> listed;
        for (int32 i = 0; presetList != nullptr && i < presetList->CountItems(); i++) {
            auto* item = dynamic_cast<qvChannelItem*>(presetList->ItemAt(i));
            listed.push_back({item->name, item->channel, item->videoFormat, item->audioFormat});
        }
        return listed;
    }

    std::string PresetsPath() const { return bootRoot + "/home/config/settings/Media/presets"; }

    ChannelSuite* suite = nullptr;
};

TEST_F(ChannelSuiteTest, CardWithTunerRunsTheHiddenWindowWhichClosingOnlyHides)
{
    ASSERT_EQ(MakeSuite(), 0);
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
}

TEST_F(ChannelSuiteTest, OnlyAChannelAndATunerBrandMakeATunerAndOnlyATunerReadsTheFile)
{
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
        {"channel without brand", [] { RegisterTunerDouble({{"Channel", 5}}); }, false},
        {"brand without channel", [] { RegisterTunerDouble({{"Tuner Brand", 2}}); }, false},
        {"longer names", [] { RegisterTunerDouble({{"Channels", 5}, {"Tuner Brands", 2}}); },
            true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WritePresets({{1, "ONE"}});
        const std::string before = ReadBytes(PresetsPath());
        c.prepare();
        EXPECT_EQ(MakeSuite(false), c.tuner ? 0 : -1);
        // Without a tuner the window never runs.
        EXPECT_EQ(suite->Thread() >= 0, c.tuner);
        EXPECT_EQ(suite->GetChannelName(), c.tuner ? "1" : "");
        EXPECT_EQ(suite->ZapUp(), c.tuner ? "P 01" : "");
        EXPECT_EQ(suite->GetPresetName(), c.tuner ? "ONE" : "");
        EXPECT_EQ(suite->TuneChannel(0, -1, -1), c.tuner ? "0" : "");
        CloseSuite();
        if (!c.tuner) {
            EXPECT_EQ(ReadBytes(PresetsPath()), before);
        }
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }
    // A missing file is made, empty, whatever the tuner.
    std::filesystem::remove(PresetsPath());
    RegisterTestCard(false);
    MakeSuite(false);
    EXPECT_TRUE(std::filesystem::exists(PresetsPath()));
    EXPECT_EQ(std::filesystem::file_size(PresetsPath()), 0u);
}

TEST_F(ChannelSuiteTest, LoadingEndsWithTheChannelsFillsTheGapsAndSelectsTheLastOnTheChannel)
{
    const int32 c = CardChannel();
    const int32 pal = devices::VIDEO_FORMAT_PAL_BG;
    // The card starts on its first sound standard.
    const int32 audio = 0;
    const struct {
        std::vector<test_support::StoredPreset> stored;
        std::vector<StationPreset> listed;
        int32 selected;
    } cases[] = {
        // Two channels, three names, no formats: the formats marked at load time.
        {{{c + 1, "ONE"}, {c + 2, "TWO"}, {{}, "THREE"}},
            {{"ONE", c + 1, pal, audio}, {"TWO", c + 2, pal, audio}}, -1},
        // Elements go by place: a missing name is the last one's.
        {{{c + 1, ""}, {c + 2, {}}},
            {{"", c + 1, pal, audio}, {"Unknown station", c + 2, pal, audio}}, -1},
        {{{c, "FIRST", 1}, {c + 1, "OTHER", 1}, {c, "SECOND", 1}},
            {{"FIRST", c, 1, audio}, {"OTHER", c + 1, 1, audio}, {"SECOND", c, 1, audio}}, 2},
    };
    for (const auto& row : cases) {
        WritePresets(row.stored);
        ASSERT_EQ(MakeSuite(), 0);
        EXPECT_EQ(Listed(), row.listed);
        EXPECT_EQ(presetList->CurrentSelection(), row.selected);
        CloseSuite();
        kits::media::ResetDefaultNodes();
    }
}

TEST_F(ChannelSuiteTest, PresetsSurviveARestartByteForByteAChannelBeyondTheTunerIncluded)
{
    const std::string golden = ReadBytes(GoldenPath());
    ASSERT_FALSE(golden.empty());
    WriteBytes(PresetsPath(), golden);
    ASSERT_EQ(MakeSuite(), 0);
    const std::vector<StationPreset> expected
        = {{"Erste", 27, 3, 0}, {"", 5, 1, -1}, {"Dritte Programm", 200, -1, 4}};
    EXPECT_EQ(Listed(), expected);
    // Tuning past the last channel wraps to the first; the preset keeps its channel.
    EXPECT_EQ(suite->Zap(2), "P 03");
    suite->Unlock();
    EXPECT_TRUE(test_support::Await([] { return CardValue<int32>("Channel") == 0; }));
    CloseSuite();
    EXPECT_EQ(ReadBytes(PresetsPath()), golden);
    EXPECT_FALSE(std::filesystem::exists(PresetsPath() + ".damaged"));
}

TEST_F(ChannelSuiteTest, AnUnreadableFileIsKeptAsideBeforeTheListReplacesIt)
{
    const std::string golden = ReadBytes(GoldenPath());
    std::string foreign = golden;
    foreign[0] = 'X';
    std::string badCount = golden;
    // The count of "Channel" elements: 0.
    badCount[22] = 0;
    std::string pastTheEnd = golden;
    // The data size of "Name" beyond the message.
    pastTheEnd[50] = char(0xF0);
    auto flat = [](const BMessage& message) {
        BMallocIO bytes;
        EXPECT_EQ(message.Flatten(&bytes), B_OK);
        return std::string(static_cast<const char*>(bytes.Buffer()), bytes.BufferLength());
    };
    // Whole messages of other programs: no "Channel", or one of another type.
    const std::string settings = flat(test_support::With('SETT', "chkFullScreen", true));
    const std::string named = flat(test_support::With('CNLS', "Channel", "E7"));
    const std::string cases[] = {golden.substr(0, 1), golden.substr(0, 16),
        golden.substr(0, 17), golden.substr(0, 60), golden.substr(0, golden.size() - 1),
        foreign, badCount, pastTheEnd, "not a message at all", settings, named};
    const std::string emptyList = flat(video::MessageFromPresets({}));
    for (const std::string& bad : cases) {
        SCOPED_TRACE(bad.size());
        WriteBytes(PresetsPath(), bad);
        ASSERT_EQ(MakeSuite(), 0);
        EXPECT_TRUE(Listed().empty());
        EXPECT_EQ(suite->ZapUp(), "");
        CloseSuite();
        EXPECT_EQ(ReadBytes(PresetsPath() + ".damaged"), bad);
        EXPECT_EQ(ReadBytes(PresetsPath()), emptyList);
        kits::media::ResetDefaultNodes();
    }
}

TEST_F(ChannelSuiteTest, ASaveThatFailsLeavesTheOldFileWhole)
{
    WritePresets({{1, "ONE"}});
    const std::string before = ReadBytes(PresetsPath());
    // The file beside it cannot be made: the save fails before the old file is touched.
    std::filesystem::create_directories(PresetsPath() + ".saving/in the way");
    ASSERT_EQ(MakeSuite(), 0);
    presetList->AddItem(new qvChannelItem("ADDED", 2));
    CloseSuite();
    EXPECT_EQ(ReadBytes(PresetsPath()), before);
}

TEST_F(ChannelSuiteTest, ZappingWrapsAtBothEndsWithTwoDigitLabels)
{
    std::vector<test_support::StoredPreset> presets;
    for (int32 i = 0; i < 12; i++)
        presets.push_back({100 + i, std::string("S").append(std::to_string(i + 1))});
    // Steps: ZapUp, ZapDown, or Zap of the index given.
    constexpr int32 UP = 1000;
    constexpr int32 DOWN = -1000;
    const struct {
        size_t count;
        std::vector<std::pair<int32, const char*>> steps;
    } cases[] = {
        {0, {{UP, ""}, {DOWN, ""}}},
        {3, {{DOWN, "P 03"}, {UP, "P 01"}, {DOWN, "P 03"}, {3, "P 01"}, {-1, "P 03"}}},
        {12, {{9, "P 10"}, {DOWN, "P 09"}, {DOWN, "P 08"}, {11, "P 12"}, {UP, "P 01"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        WritePresets({presets.begin(), presets.begin() + ptrdiff_t(c.count)});
        ASSERT_EQ(MakeSuite(), 0);
        for (const auto& [step, label] : c.steps) {
            EXPECT_EQ(step == UP ? suite->ZapUp()
                    : step == DOWN ? suite->ZapDown()
                                   : suite->Zap(step),
                label);
            const int32 selected = presetList->CurrentSelection();
            if (*label == '\0') {
                EXPECT_EQ(selected, -1);
                continue;
            }
            EXPECT_EQ(std::atoi(label + 2), selected + 1);
            EXPECT_EQ(suite->GetPresetName(), "S" + std::to_string(selected + 1));
        }
        CloseSuite();
        kits::media::ResetDefaultNodes();
    }
}

TEST_F(ChannelSuiteTest, TuningWrapsSetsFormatsBeforeTheChannelAndLeavesNegativeOnesAlone)
{
    ASSERT_EQ(MakeSuite(), 0);
    const int32 count = devices::ChannelPlan::CountChannels();
    const int32 audio = *CardValue<int32>("Audio Format");
    EXPECT_EQ(suite->TuneChannel(count, devices::VIDEO_FORMAT_NTSC_M, audio + 1), "E2");
    EXPECT_EQ(CardValue<int32>("Channel"), 0);
    EXPECT_EQ(CardValue<int32>("Video Format"), devices::VIDEO_FORMAT_NTSC_M);
    EXPECT_EQ(suite->GetVideoFormat(), devices::VIDEO_FORMAT_NTSC_M);
    EXPECT_EQ(suite->GetAudioFormat(), audio + 1);
    EXPECT_EQ(suite->TuneChannel(-1, -1, -1), devices::ChannelPlan::LabelAt(count - 1));
    EXPECT_EQ(suite->GetChannelName(), devices::ChannelPlan::LabelAt(count - 1));
    EXPECT_EQ(CardValue<int32>("Video Format"), devices::VIDEO_FORMAT_NTSC_M);
    EXPECT_EQ(suite->GetVideoFormat(), devices::VIDEO_FORMAT_NTSC_M);
    // An index beyond the menu changes neither the menu nor the card.
    suite->SetVideoFormat(devices::VIDEO_FORMAT_SECAM + 1);
    EXPECT_EQ(suite->GetVideoFormat(), devices::VIDEO_FORMAT_NTSC_M);
    EXPECT_EQ(CardValue<int32>("Video Format"), devices::VIDEO_FORMAT_NTSC_M);
    // The format commands tune the current channel; one without "i" does nothing.
    suite->Unlock();
    BMessage secam = test_support::With(SUITE_VIDEO_FORMAT, "i", devices::VIDEO_FORMAT_SECAM);
    suite->PostMessage(SUITE_VIDEO_FORMAT);
    suite->PostMessage(&secam);
    EXPECT_TRUE(test_support::Await(
        [] { return CardValue<int32>("Video Format") == devices::VIDEO_FORMAT_SECAM; }));
    suite->Lock();
    EXPECT_EQ(suite->GetChannelName(), devices::ChannelPlan::LabelAt(count - 1));
}

TEST_F(ChannelSuiteTest, FormatMenusFollowTheParametersThatAreThere)
{
    const struct {
        std::map<std::string, int32> web;
        int32 items;
        const char* first;
    } cases[] = {
        {{{"Channel", 3}, {"Tuner Brand", 2}}, 1, "No formats found"},
        {{{"Channel", 3}, {"Tuner Brand", 2}, {"Video Format", 0}, {"Audio Format", 0}}, 0, ""},
        {{{"Channel", 3}, {"Tuner Brand", 2}, {"Video Format", 4}, {"Audio Format", 4}}, 4, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items);
        RegisterTunerDouble(c.web);
        ASSERT_EQ(MakeSuite(false), 0);
        for (const char* name : {"VideoCombo", "AudioCombo"}) {
            auto* field = dynamic_cast<BMenuField*>(suite->FindView(name));
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(field->Menu()->CountItems(), c.items);
            if (c.items > 0) {
                EXPECT_STREQ(field->Menu()->ItemAt(0)->Label(), c.first);
            }
        }
        // The doubles' values are 1: marked when the item is there.
        EXPECT_EQ(suite->GetVideoFormat(), c.items > 1 ? 1 : -1);
        suite->SetVideoFormat(0);
        EXPECT_EQ(suite->GetVideoFormat(), c.items > 1 ? 0 : -1);
        CloseSuite();
        kits::media::ResetDefaultNodes();
    }
}

TEST_F(ChannelSuiteTest, ZappingTunesThePresetsFormatThenItsChannel)
{
    const int32 channel = CardChannel();
    WritePresets({{channel + 2, "NTSC", devices::VIDEO_FORMAT_NTSC_M}, {channel + 3, "PLAIN"}});
    ASSERT_EQ(MakeSuite(), 0);
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
