#include "channels/ChannelSuite.h"

#include "channels/qvChannelItem.h"
#include "devices/ChannelPlan.h"
#include "devices/TestCardNode.h"
#include "kits/interface/Box.h"
#include "kits/interface/Button.h"
#include "kits/interface/ListView.h"
#include "kits/interface/Menu.h"
#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/Slider.h"
#include "kits/interface/StringView.h"
#include "kits/interface/TextControl.h"
#include "kits/media/MediaDevices.h"
#include "tests/channels/ListedPresets.h"
#include "tests/support/Await.h"
#include "tests/support/FileBytes.h"
#include "tests/support/MessageWith.h"
#include "tests/support/TestCard.h"
#include "tests/support/WebNode.h"
#include "video/StationPresets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <tuple>

namespace {

using test_support::CardChannel;
using test_support::CardValue;
using test_support::Flat;
using test_support::GoldenBytes;
using test_support::ReadBytes;
using test_support::RegisterTestCard;
using test_support::WriteBytes;
using test_support::WritePresets;
using video::StationPreset;

// Makes the default video input a node whose web holds only the discrete parameters named, with
// that many items, each valued 1: the webs no capture card has.
void RegisterTuner(const std::map<std::string, int32>& itemCounts)
{
    std::vector<test_support::WebParameter> web;
    for (const auto& [name, count] : itemCounts)
        web.push_back({"Tuner", name, false, 0, 0, {1}, count});
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
        [web] { return static_cast<BMediaNode*>(new test_support::WebNode(web)); }, 0),
        B_OK);
}

class ChannelSuiteTest : public test_support::MediaRosterTest {
protected:
    void TearDown() override
    {
        if (suite != nullptr)
            CloseSuite();
        MediaRosterTest::TearDown();
    }

    // Makes a locked suite over the video input registered (by default the test card with a
    // tuner); its tuner status.
    int32 MakeSuite(bool registerCard = true)
    {
        if (registerCard)
            RegisterTestCard();
        int32 tunerStatus = 42;
        suite = new ChannelSuite(nullptr, &tunerStatus);
        suite->Lock();
        return tunerStatus;
    }

    // Quits the suite, which saves the presets, and lets the next one start afresh.
    void CloseSuite()
    {
        if (suite->LockingThread() != find_thread(nullptr))
            suite->Lock();
        suite->Quit();
        suite = nullptr;
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }

    void SetUp() override
    {
        MediaRosterTest::SetUp();
        path = bootRoot + "/home/config/settings/Media/presets";
    }

    std::string path;
    ChannelSuite* suite = nullptr;
};

TEST_F(ChannelSuiteTest, CardWithTunerRunsTheHiddenWindowWhichClosingOnlyHides)
{
    test_support::WritePresets({{CardChannel(), "ONE"}});
    ASSERT_EQ(MakeSuite(), 0);
    EXPECT_TRUE(suite->IsHidden());
    EXPECT_EQ(suite->Frame(), BRect(50, 100, 360, 400));
    auto* more = dynamic_cast<BButton*>(suite->FindView("MoreLessButton"));
    auto* stations = dynamic_cast<BBox*>(more->Parent());
    // Each press sends the command the button carries then: there, back and there again.
    for (const auto& [width, label, border] : {std::tuple{560.0f, "<<<", B_FANCY_BORDER},
             std::tuple{310.0f, ">>>", B_NO_BORDER}, std::tuple{560.0f, "<<<", B_FANCY_BORDER}}) {
        BMessage press(*more->Message());
        suite->MessageReceived(&press);
        EXPECT_EQ(suite->Frame().Width(), width);
        EXPECT_STREQ(more->Label(), label);
        EXPECT_EQ(stations->Border(), border);
    }
    suite->Show();
    suite->Unlock();
    suite->PostMessage(B_QUIT_REQUESTED);
    EXPECT_TRUE(test_support::Await([this] {
        suite->Lock();
        const bool hidden = suite->IsHidden() && suite->Thread() >= 0;
        suite->Unlock();
        return hidden;
    }));
    // Shown again, it is as it was left.
    suite->Lock();
    suite->Show();
    EXPECT_FALSE(suite->IsHidden());
    EXPECT_EQ(suite->Frame().Width(), 560);
    EXPECT_EQ(presetList->CountItems(), 1);
    EXPECT_EQ(presetList->CurrentSelection(), 0);
}

TEST_F(ChannelSuiteTest, OnlyAChannelAndATunerBrandMakeATunerAndOnlyATunerReadsTheFile)
{
    using kits::media::RosterOperation;
    const struct {
        const char* what;
        std::function<void()> prepare;
        bool tuner;
    } cases[] = {
        {"card without tuner", [] { RegisterTestCard(false); }, false},
        {"no media service", [] { kits::media::SetMediaServerRunning(false); }, false},
        {"no video input", [] {}, false},
        {"no web", [] {
             RegisterTestCard();
             kits::media::FailRosterOperation(RosterOperation::GetParameterWebFor, B_ERROR);
         }, false},
        {"no brand", [] { RegisterTuner({{"Channel", 5}}); }, false},
        {"no channel", [] { RegisterTuner({{"Tuner Brand", 2}}); }, false},
        {"longer names", [] { RegisterTuner({{"Channels", 5}, {"Tuner Brands", 2}}); },
            true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WritePresets({{1, "ONE"}});
        const std::string before = ReadBytes(path);
        c.prepare();
        EXPECT_EQ(MakeSuite(false), c.tuner ? 0 : -1);
        // Without a tuner the window never runs and says why.
        EXPECT_EQ(suite->Thread() >= 0, c.tuner);
        auto* noSuite = dynamic_cast<BStringView*>(suite->FindView("nosuite"));
        EXPECT_EQ(noSuite == nullptr, c.tuner);
        if (noSuite != nullptr) {
            EXPECT_STREQ(noSuite->Text(), "Your TV Card does not have a tuner");
            EXPECT_EQ(noSuite->Frame(), BRect(0, 85, 310, 95));
        }
        EXPECT_EQ(suite->GetChannelName(), c.tuner ? "1" : "");
        EXPECT_EQ(suite->ZapUp(), c.tuner ? "P 01" : "");
        EXPECT_EQ(suite->GetPresetName(), c.tuner ? "ONE" : "");
        EXPECT_EQ(suite->TuneChannel(0, -1, -1), c.tuner ? "0" : "");
        CloseSuite();
        EXPECT_EQ(ReadBytes(path) == before, !c.tuner);
    }
    // A missing file is made, empty, whatever the tuner.
    std::filesystem::remove(path);
    MakeSuite(false);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(ChannelSuiteTest, LoadingEndsWithTheChannelsFillsTheGapsAndSelectsTheLastOnTheChannel)
{
    const int32 c = CardChannel();
    // The formats the card starts on, marked in the menus when the list is read.
    const int32 pal = devices::VIDEO_FORMAT_PAL_BG;
    const int32 audio = 0;
    const struct {
        std::vector<test_support::StoredPreset> stored;
        std::vector<StationPreset> listed;
        int32 selected;
    } cases[] = {
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
        EXPECT_EQ(channels_test::ListedPresets(), row.listed);
        EXPECT_EQ(presetList->CurrentSelection(), row.selected);
        CloseSuite();
    }
}

TEST_F(ChannelSuiteTest, PresetsAreTunedWithTheirFormatsAndSavedByteForByte)
{
    const std::string golden = GoldenBytes("channels/three-presets.msg");
    ASSERT_FALSE(golden.empty());
    WriteBytes(path, golden);
    ASSERT_EQ(MakeSuite(), 0);
    const std::vector<StationPreset> expected
        = {{"Erste", 27, 3, 0}, {"", 5, 1, -1}, {"Dritte Programm", 200, -1, 4}};
    EXPECT_EQ(channels_test::ListedPresets(), expected);
    suite->Unlock();
    // The stored standard goes with the channel; a channel past the last wraps to the first,
    // and the preset keeps its own.
    for (const auto& [index, channel, format] : {std::tuple{1, 5, 1}, std::tuple{2, 0, 1}}) {
        suite->Lock();
        EXPECT_EQ(suite->Zap(index), "P 0" + std::to_string(index + 1));
        suite->Unlock();
        EXPECT_TRUE(test_support::Await([&] {
            return CardValue<int32>("Channel") == channel
                && CardValue<int32>("Video Format") == format;
        }));
    }
    CloseSuite();
    EXPECT_EQ(ReadBytes(path), golden);

    // A save that cannot make its file beside the old one leaves the old one whole.
    std::filesystem::create_directories(path + ".saving/in the way");
    ASSERT_EQ(MakeSuite(), 0);
    presetList->AddItem(new qvChannelItem("ADDED", 2));
    CloseSuite();
    EXPECT_EQ(ReadBytes(path), golden);
}

TEST_F(ChannelSuiteTest, AnUnreadableFileIsKeptAsideBeforeTheListReplacesIt)
{
    const std::string good = Flat(video::MessageFromPresets({{"ONE", 1, 0, 0}, {"TWO", 2, 0, 0}}));
    std::string badTag = good;
    badTag[0] = 'X';
    std::string noChannels = good;
    // The count of "Channel" elements.
    noChannels[22] = 0;
    std::string pastTheEnd = good;
    // The data size of "Name".
    pastTheEnd[46] = char(0xF0);
    const std::string cases[] = {good.substr(0, 1), good.substr(0, 17), good.substr(0, 40),
        good.substr(0, good.size() - 1), badTag, noChannels, pastTheEnd, "not a message",
        // Whole messages of other programs: no "Channel", or one of another type.
        Flat(test_support::With('SETT', "chkFullScreen", true)),
        Flat(test_support::With('CNLS', "Channel", "E7"))};
    for (const std::string& bad : cases) {
        SCOPED_TRACE(bad.size());
        WriteBytes(path, bad);
        ASSERT_EQ(MakeSuite(), 0);
        EXPECT_TRUE(channels_test::ListedPresets().empty());
        CloseSuite();
        EXPECT_EQ(ReadBytes(path + ".damaged"), bad);
        EXPECT_EQ(ReadBytes(path), Flat(video::MessageFromPresets({})));
    }
}

TEST_F(ChannelSuiteTest, ZappingWrapsAtBothEndsWithTwoDigitLabels)
{
    std::vector<test_support::StoredPreset> presets;
    for (int32 i = 0; i < 12; i++)
        presets.push_back({100 + i, "S" + std::to_string(i + 1)});
    // Steps: ZapUp, ZapDown, or Zap of the index given.
    constexpr int32 UP = 1000;
    constexpr int32 DOWN = -1000;
    const struct {
        size_t count;
        std::vector<std::pair<int32, const char*>> steps;
    } cases[] = {
        {0, {{UP, ""}, {DOWN, ""}}},
        {3, {{DOWN, "P 03"}, {UP, "P 01"}, {DOWN, "P 03"}, {3, "P 01"}, {-1, "P 03"}}},
        {12, {{9, "P 10"}, {DOWN, "P 09"}, {11, "P 12"}, {UP, "P 01"}}},
    };
    for (const auto& c : cases) {
        WritePresets({presets.begin(), presets.begin() + ptrdiff_t(c.count)});
        ASSERT_EQ(MakeSuite(), 0);
        for (const auto& [step, label] : c.steps) {
            SCOPED_TRACE(testing::Message() << c.count << " " << step);
            EXPECT_EQ(step == UP ? suite->ZapUp() : step == DOWN ? suite->ZapDown()
                                                                 : suite->Zap(step), label);
            const int32 selected = presetList->CurrentSelection();
            EXPECT_EQ(selected, *label == '\0' ? -1 : std::atoi(label + 2) - 1);
            EXPECT_EQ(suite->GetPresetName(),
                selected < 0 ? "" : "S" + std::to_string(selected + 1));
        }
        CloseSuite();
    }
}

TEST_F(ChannelSuiteTest, TuningWrapsSetsFormatsThatAreGivenAndInTheMenu)
{
    ASSERT_EQ(MakeSuite(), 0);
    const int32 count = devices::ChannelPlan::CountChannels();
    const std::string last = devices::ChannelPlan::LabelAt(count - 1);
    const int32 ntsc = devices::VIDEO_FORMAT_NTSC_M;
    EXPECT_EQ(suite->TuneChannel(count, ntsc, 2), "E2");
    EXPECT_EQ(CardValue<int32>("Channel"), 0);
    EXPECT_EQ(CardValue<int32>("Video Format"), ntsc);
    EXPECT_EQ(suite->GetAudioFormat(), 2);
    EXPECT_EQ(suite->TuneChannel(-1, -1, -1), last);
    EXPECT_EQ(suite->GetChannelName(), last);
    // Neither a negative format nor one beyond the menu changes the menu or the card.
    suite->SetVideoFormat(devices::VIDEO_FORMAT_SECAM + 1);
    EXPECT_EQ(suite->GetVideoFormat(), ntsc);
    EXPECT_EQ(CardValue<int32>("Video Format"), ntsc);
    // The format commands tune the current channel; one without "i" does nothing.
    suite->Unlock();
    BMessage secam = test_support::With(SUITE_VIDEO_FORMAT, "i", devices::VIDEO_FORMAT_SECAM);
    suite->PostMessage(SUITE_VIDEO_FORMAT);
    suite->PostMessage(&secam);
    EXPECT_TRUE(test_support::Await(
        [] { return CardValue<int32>("Video Format") == devices::VIDEO_FORMAT_SECAM; }));
    EXPECT_EQ(CardValue<int32>("Channel"), count - 1);
}

TEST_F(ChannelSuiteTest, FormatMenusFollowTheParametersThatAreThere)
{
    const struct {
        int32 formats;
        int32 items;
        const char* first;
    } cases[] = {{-1, 1, "No formats found"}, {0, 0, ""}, {4, 4, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.formats);
        std::map<std::string, int32> web = {{"Channel", 3}, {"Tuner Brand", 2}};
        if (c.formats >= 0)
            web.insert({{"Video Format", c.formats}, {"Audio Format", c.formats}});
        RegisterTuner(web);
        ASSERT_EQ(MakeSuite(false), 0);
        for (const char* name : {"VideoCombo", "AudioCombo"}) {
            BMenu* menu = dynamic_cast<BMenuField*>(suite->FindView(name))->Menu();
            EXPECT_EQ(menu->CountItems(), c.items);
            EXPECT_STREQ(c.items > 0 ? menu->ItemAt(0)->Label() : "", c.first);
        }
        // The card's value 1 is marked where the menu has it.
        EXPECT_EQ(suite->GetVideoFormat(), c.items > 1 ? 1 : -1);
        suite->SetVideoFormat(0);
        EXPECT_EQ(suite->GetVideoFormat(), c.items > 1 ? 0 : -1);
        CloseSuite();
    }
}

TEST_F(ChannelSuiteTest, EditingCommandsInsertMoveRemoveAndSaveInMemoryOnly)
{
    const int32 c = CardChannel();
    const std::vector<test_support::StoredPreset> five
        = {{c + 1, "A"}, {c + 2, "B"}, {c + 3, "C"}, {c + 4, "D"}, {c + 5, "E"}};
    const struct {
        int32 selected;
        uint32 command;
        std::string names;
        int32 selectedAfter;
    } cases[] = {
        {1, SUITE_ADD, "ANBCDE", 1},
        {4, SUITE_ADD, "ABCDEN", 4},
        {-1, SUITE_ADD, "ABCDEN", -1},
        {1, SUITE_MOVE_UP, "BACDE", 0},
        {0, SUITE_MOVE_UP, "ABCDE", 0},
        {3, SUITE_MOVE_DOWN, "ABCED", 4},
        {4, SUITE_MOVE_DOWN, "ABCDE", 4},
        {2, SUITE_REMOVE, "ABDE", -1},
        {-1, SUITE_REMOVE, "ABCDE", -1},
        {-1, SUITE_SAVE, "ABCDE", -1},
        {2, SUITE_SAVE, "ABNDE", 2},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::Message() << row.command << " on " << row.selected);
        test_support::WritePresets(five);
        const std::string before = ReadBytes(path);
        ASSERT_EQ(MakeSuite(), 0);
        dynamic_cast<BTextControl*>(suite->FindView("PresetName"))->SetText("N");
        presetList->Select(row.selected);
        // The card's channel is the suite's: what "Add" and "Save" take.
        suite->TuneChannel(7, devices::VIDEO_FORMAT_SECAM, -1);
        BMessage command(row.command);
        suite->MessageReceived(&command);
        const std::vector<StationPreset> listed = channels_test::ListedPresets();
        std::string names;
        for (const StationPreset& preset : listed)
            names += preset.name;
        EXPECT_EQ(names, row.names);
        EXPECT_EQ(presetList->CurrentSelection(), row.selectedAfter);
        const size_t added = names.find('N');
        if (added != std::string::npos) {
            const StationPreset expected{"N", 7, devices::VIDEO_FORMAT_SECAM, 0};
            EXPECT_EQ(listed[added], expected);
        }
        EXPECT_EQ(ReadBytes(path), before);
        CloseSuite();
        std::vector<StationPreset> stored;
        ASSERT_EQ(video::ReadPresets(video::PRESETS_PATH, stored), B_OK);
        EXPECT_EQ(stored, listed);
    }
}

TEST_F(ChannelSuiteTest, TunerCommandsWrapAndTakeOnlyLabelsTheCardHas)
{
    const int32 last = devices::ChannelPlan::CountChannels() - 1;
    const int32 e12 = devices::ChannelPlan::PositionOf("E12");
    const struct {
        int32 from;
        uint32 command;
        const char* typed;
        int32 tuned;
        std::string text;
    } cases[] = {
        {last, SUITE_TUNE_UP, nullptr, 0, "E2"},
        {0, SUITE_TUNE_DOWN, nullptr, last, devices::ChannelPlan::LabelAt(last)},
        {5, SUITE_CHANNEL_TEXT, "E12", e12, "E12"},
        {5, SUITE_CHANNEL_TEXT, "E99", 5, "E99"},
        {5, SUITE_CHANNEL_SLIDER, nullptr, 9, devices::ChannelPlan::LabelAt(9)},
    };
    ASSERT_EQ(MakeSuite(), 0);
    auto* scan = suite->FindView("ScanButton");
    ASSERT_NE(scan, nullptr);
    auto* number = dynamic_cast<BTextControl*>(scan->Parent()->ChildAt(1));
    auto* slider = dynamic_cast<BSlider*>(scan->Parent()->ChildAt(0));
    for (const auto& row : cases) {
        SCOPED_TRACE(row.command);
        suite->TuneChannel(row.from, -1, -1);
        if (row.typed != nullptr)
            number->SetText(row.typed);
        if (row.command == SUITE_CHANNEL_SLIDER)
            slider->SetValue(row.tuned);
        BMessage command(row.command);
        suite->MessageReceived(&command);
        EXPECT_EQ(CardValue<int32>("Channel"), row.tuned);
        EXPECT_EQ(slider->Value(), row.tuned);
        EXPECT_STREQ(number->Text(), row.text.c_str());
    }
}

}
