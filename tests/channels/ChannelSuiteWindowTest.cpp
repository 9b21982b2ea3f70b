// The station list seen from the main window: its keys zap, its title and overlays name the
// station, and the list outlives the application.

#include "channels/ChannelSuite.h"

#include "channels/qvChannelItem.h"
#include "devices/ChannelPlan.h"
#include "devices/TestStation.h"
#include "kits/interface/ListView.h"
#include "tests/channels/ListedPresets.h"
#include "tests/kits/interface/InterfaceTestSupport.h"
#include "tests/window/TVWindowFixture.h"
#include "video/StationPresets.h"

namespace {

using test_support::CardChannel;

class ChannelSuiteWindowTest : public TVWindowTest {
protected:
    // Presses a key over the running window and waits until the overlays and the title show
    // the station.
    void Press(const char* key, const std::string& label, const std::string& name)
    {
        BMessage press = interface_test::Key(key);
        ASSERT_EQ(window->PostMessage(&press), B_OK);
        EXPECT_TRUE(AwaitWindow([&] {
            return Label("pChannelLabel")->Text() == label && Label("pNameLabel")->Text() == name
                && !Label("pChannelLabel")->IsHidden() && !Label("pNameLabel")->IsHidden()
                && window->Title() == "Ovelin Beta 4 - " + name;
        })) << key << " " << label;
    }

    // Ends the application as the program does: the window, then the suite, which saves.
    void Restart()
    {
        CloseWindow();
        application.reset();
        application = std::make_unique<BApplication>("application/x-vnd.Quarnet.Ovelin-test");
        MakeWindow();
        RunWindow();
    }
};

TEST_F(ChannelSuiteWindowTest, PlusAndMinusZapTheStationsWhichOutliveTheApplication)
{
    const int32 c = CardChannel();
    test_support::WritePresets({{c + 1, "NORTH"}, {c + 2, "SOUTH"}, {c + 3, "WEST"}});
    MakeWindow();
    RunWindow();
    Press("+", "P 01", "NORTH");
    Press("+", "P 02", "SOUTH");
    Press("-", "P 01", "NORTH");
    Press("-", "P 03", "WEST");

    // A preset changed in the suite's memory reaches the file when the application ends.
    ChannelSuite* suite = window->ChannelSuiteWindow();
    suite->Lock();
    auto* added = new qvChannelItem("EAST", c + 4);
    presetList->AddItem(added);
    added->videoFormat = suite->GetVideoFormat();
    added->audioFormat = suite->GetAudioFormat();
    suite->Unlock();
    Restart();
    Press("-", "P 04", "EAST");
    Press("+", "P 01", "NORTH");
    std::vector<video::StationPreset> stored;
    ASSERT_EQ(video::ReadPresets(video::PRESETS_PATH, stored), B_OK);
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[3].name, "EAST");
    EXPECT_EQ(stored[3].channel, c + 4);
}

TEST_F(ChannelSuiteWindowTest, ScanFindsExactlyTheCardsStationsAndEndsOnTheFirstChannel)
{
    test_support::WritePresets({{CardChannel() + 1, "OLD"}});
    MakeWindow();
    RunWindow();
    ChannelSuite* suite = window->ChannelSuiteWindow();
    suite->Lock();
    // Long enough for the frames of the channel before to have passed.
    suite->SetScanSettleTime(200000);
    suite->Unlock();
    // A second "Scan all" while the first runs starts it again: one scan, each station once.
    suite->PostMessage(SUITE_SCAN_ALL);
    suite->PostMessage(SUITE_SCAN_ALL);
    std::vector<int32> stations;
    for (const devices::TestStation& station : devices::DefaultTestStations())
        stations.push_back(station.channel);
    // Sixty channels, each settling and measured: minutes under a sanitizer. Channel 0 with every
    // station listed comes only at the end: the scan starts on channel 0 with the list emptied.
    EXPECT_TRUE(test_support::Await([&] {
        return channels_test::ListedChannels(suite).size() >= stations.size()
            && test_support::CardValue<int32>("Channel") == 0;
    }, 180000000));
    // Nothing scans on: "Down" from the first channel reaches the last and stays there.
    suite->PostMessage(SUITE_TUNE_DOWN);
    const int32 last = devices::ChannelPlan::CountChannels() - 1;
    EXPECT_TRUE(test_support::Await(
        [&] { return test_support::CardValue<int32>("Channel") == last; }));
    EXPECT_EQ(channels_test::ListedChannels(suite), stations);

    // Selecting a found station tunes it and names it in the main window's title.
    suite->Lock();
    presetList->Select(2);
    suite->Unlock();
    EXPECT_TRUE(AwaitWindow([&] {
        return window->Title() == std::string("Ovelin Beta 4 - Unknown station")
            && test_support::CardValue<int32>("Channel") == stations[2];
    }));
}

}
