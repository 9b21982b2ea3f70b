#include "window/TVWindow.h"

#include "channels/ChannelSuite.h"
#include "devices/ChannelPlan.h"
#include "kits/interface/AlertTestHooks.h"
#include "kits/interface/Screen.h"
#include "kits/media/MediaDevices.h"
#include "prefs/Preferences.h"
#include "tests/support/MessageWith.h"
#include "tests/support/MixerNode.h"
#include "tests/window/TVWindowFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

namespace {

using kits::interface::AlertRecord;
using kits::interface::RecordedAlerts;
using test_support::CardChannel;
using test_support::With;

// The commands of the main window, given to MessageReceived with the window locked as its loop
// does, or posted to the running window.
class TVWindowCommandsTest : public TVWindowTest {
protected:
    void TearDown() override
    {
        kits::interface::SetAlertResponder({});
        kits::interface::ClearRecordedAlerts();
        TVWindowTest::TearDown();
    }

    void Send(BMessage message) { window->MessageReceived(&message); }
    void Post(BMessage message) { ASSERT_EQ(window->PostMessage(&message), B_OK); }

    // Answers every alert with its only button at once.
    static void AnswerAlerts()
    {
        kits::interface::SetAlertResponder([](const AlertRecord&) { return 0; });
    }

    // Presets on the channels after the one the test card starts on, so that none of them is
    // selected at the start.
    static void WritePresetsAfterTheCardsChannel(const std::vector<std::string>& names)
    {
        std::vector<test_support::StoredPreset> presets;
        for (const std::string& name : names)
            presets.push_back({CardChannel() + 1 + int32(presets.size()), name});
        test_support::WritePresets(presets);
    }
};

TEST(CommandsTest, CodesKeepTheirNumbers)
{
    // Other windows, the node manager and stored messages rely on these numbers: the commands
    // count up from 0x10000 and the node error stands apart.
    const uint32 codes[] = {MSG_CHANNEL_UP, MSG_CHANNEL_DOWN, MSG_VOLUME_UP, MSG_VOLUME_DOWN,
        MSG_BRIGHTNESS_UP, MSG_BRIGHTNESS_DOWN, MSG_CONTRAST_UP, MSG_CONTRAST_DOWN,
        MSG_SATURATION_UP, MSG_SATURATION_DOWN, MSG_SHOW_CHANNEL_SUITE, MSG_SHOW_MANUAL,
        MSG_SHOW_QUICK_START, MSG_SHOW_PREFERENCES, MSG_OPTIMAL_SIZE, MSG_FORMAT_4_3,
        MSG_FORMAT_16_9, MSG_TOGGLE_FULLSCREEN, MSG_SET_DEINTERLACE, MSG_SET_SUBTITLE_FILTER,
        MSG_SET_16BIT_LIMIT, MSG_STATION_CHANGED};
    for (uint32 i = 0; i < std::size(codes); i++)
        EXPECT_EQ(codes[i], 0x10000 + i) << i;
    EXPECT_EQ(MSG_NODE_ERROR, 0x20000u);
}

TEST_F(TVWindowCommandsTest, LevelCommandsShowTheirCaptionAndLevelUntilTheOverlayTimesOut)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, [] {
        return static_cast<BMediaNode*>(new test_support::TestMixerNode({"Line"}));
    }, 0), B_OK);
    MakeWindow();
    const struct {
        uint32 command;
        const char* caption;
        float level;
    } cases[] = {
        // The mixer's line starts at 50 per cent; the card's adjustments start mid-range, and a
        // step of 5 is 2.5 per cent of contrast's 0 to 200 and about 2 of brightness's -128 to
        // 127.
        {MSG_VOLUME_UP, "Volume:", 55}, {MSG_VOLUME_DOWN, "Volume:", 50},
        {MSG_BRIGHTNESS_UP, "Brightness:", 52}, {MSG_BRIGHTNESS_DOWN, "Brightness:", 50},
        {MSG_CONTRAST_UP, "Contrast:", 52}, {MSG_CONTRAST_DOWN, "Contrast:", 50},
        {MSG_SATURATION_UP, "Saturation:", 52}, {MSG_SATURATION_DOWN, "Saturation:", 50},
    };
    Slider* slider = SliderOverlay();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        slider->SetSlider("stale", -1);
        // Hidden twice over: the command shows it however deep the nesting.
        slider->Hide();
        Send(BMessage(c.command));
        EXPECT_EQ(slider->Label(), c.caption);
        EXPECT_FLOAT_EQ(slider->Value(), c.level);
        EXPECT_FALSE(slider->IsHidden());
        while (!slider->IsHidden())
            slider->Hide();
    }
    // The text overlays are not touched.
    EXPECT_TRUE(Label("pNameLabel")->IsHidden());
    EXPECT_TRUE(Label("pChannelLabel")->IsHidden());

    // Each command restarts the time-out, which hides the overlays only of a window on screen.
    window->Show();
    for (int32 pulses : {10, 10, 29}) {
        Send(BMessage(MSG_VOLUME_UP));
        Pulses(pulses);
    }
    EXPECT_FALSE(slider->IsHidden());
    Pulses(1);
    EXPECT_TRUE(slider->IsHidden());
    // Counted out, it stays out.
    Pulses(40);
    EXPECT_TRUE(slider->IsHidden());

    // A channel command restarts it for every overlay and leaves the slider as it is.
    Send(BMessage(MSG_BRIGHTNESS_UP));
    Pulses(20);
    Send(BMessage(MSG_CHANNEL_UP));
    const std::vector<BView*> overlays = {slider, Label("pNameLabel"), Label("pChannelLabel")};
    Pulses(29);
    for (BView* overlay : overlays)
        EXPECT_FALSE(overlay->IsHidden()) << overlay->Name();
    Pulses(1);
    for (BView* overlay : overlays)
        EXPECT_TRUE(overlay->IsHidden()) << overlay->Name();
}

TEST_F(TVWindowCommandsTest, ChannelCommandsShowTheZappedPresetAndTheStationChangeRetitles)
{
    const struct {
        bool tunerFitted;
        std::vector<std::string> presets;
        // The channel and name labels after channel up, then after channel down.
        std::pair<const char*, const char*> labels[2];
    } cases[] = {
        {false, {"NORTH"}, {{"", ""}, {"", ""}}},
        {true, {}, {{"", ""}, {"", ""}}},
        {true, {"NORTH", "SOUTH", "WEST"}, {{"P 01", "NORTH"}, {"P 03", "WEST"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.presets.size());
        CloseWindow();
        WritePresetsAfterTheCardsChannel(c.presets);
        MakeWindow(c.tunerFitted);
        for (int32 i = 0; i < 2; i++) {
            for (TextOver* label : {Label("pChannelLabel"), Label("pNameLabel")}) {
                label->SetText("stale");
                label->Hide();
            }
            Send(BMessage(i == 0 ? MSG_CHANNEL_UP : MSG_CHANNEL_DOWN));
            EXPECT_EQ(Label("pChannelLabel")->Text(), c.labels[i].first);
            EXPECT_EQ(Label("pNameLabel")->Text(), c.labels[i].second);
            EXPECT_FALSE(Label("pChannelLabel")->IsHidden());
            EXPECT_FALSE(Label("pNameLabel")->IsHidden());
            EXPECT_TRUE(SliderOverlay()->IsHidden());
        }
    }
    // The suite tunes the last preset zapped to and tells the window, which takes its name and
    // number.
    RunWindow();
    EXPECT_TRUE(AwaitWindow([this] {
        return std::string(window->Title()) == "Ovelin Beta 4 - WEST"
            && Panel()->StationNumber() == 3;
    }));
}

TEST_F(TVWindowCommandsTest, TheSuiteTunesOnWithoutTheViewOnceTheWindowIsGone)
{
    WritePresetsAfterTheCardsChannel({"NORTH", "SOUTH"});
    MakeWindow();
    ChannelSuite* suite = window->ChannelSuiteWindow();
    // Quit as the application quits it, the card staying.
    window->Quit();
    window = nullptr;
    // The application keeps the suite until it ends; a zap now must not reach the old view.
    suite->Lock();
    EXPECT_EQ(suite->ZapUp(), "P 01");
    suite->Unlock();
    EXPECT_TRUE(test_support::Await([] {
        return test_support::CardValue<int32>("Channel") == CardChannel() + 1;
    }));
}

TEST_F(TVWindowCommandsTest, StationChangeSetsTheTitleAndThePanelNumberFromItsFields)
{
    MakeWindow();
    const struct {
        BMessage message;
        const char* name;
        int32 number;
    } cases[] = {
        {With(MSG_STATION_CHANGED, "Name", "Channel  Nine ", "Preset", 9), "Channel  Nine ", 9},
        {With(MSG_STATION_CHANGED, "Name", ""), "", 9},
        {With(MSG_STATION_CHANGED, "Preset", 12), "", 12},
        // Fields of another type count as missing.
        {With(MSG_STATION_CHANGED, "Name", 4, "Preset", "4"), "", 12},
        {BMessage(MSG_STATION_CHANGED), "", 12},
    };
    for (const auto& c : cases) {
        Send(c.message);
        EXPECT_EQ(window->Title(), "Ovelin Beta 4 - " + std::string(c.name));
        EXPECT_EQ(Panel()->StationNumber(), c.number);
    }
}

TEST_F(TVWindowCommandsTest, NodeErrorsShowTheirTextAndNumberInAStopAlert)
{
    MakeWindow();
    AnswerAlerts();
    const std::pair<int32, const char*> texts[] = {
        {2410, "Could not initialize the videostream\n"
               "There may not have enough memory to allocate the buffers.\n"
               "Please close some programs or reduce the colordepth"},
        {2500, "The Media server is not loaded"},
        {2520, "A video input device was not found"},
        {2530, "Could not make the video node\nAnother program may be using the video input"},
        {2531, "Could not register the video node\n"
               "Another program may be using the video input"},
        {2540, "There are no video sources available\n"
               "Another program may be using the video input"},
        {2570, "Could not start the nodes"}, {2571, "Could not start the nodes"},
        // Numbers without a text of their own, the node manager's included.
        {2510, "Node error"}, {2541, "Node error"}, {17, "Node error"}, {-3, "Node error"},
    };
    for (const auto& [number, text] : texts) {
        SCOPED_TRACE(number);
        kits::interface::ClearRecordedAlerts();
        Send(With(MSG_NODE_ERROR, "Number", number));
        const std::vector<AlertRecord> alerts = RecordedAlerts();
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].title, "Node error");
        EXPECT_EQ(alerts[0].text, std::string(text) + "\nError #" + std::to_string(number));
        EXPECT_EQ(alerts[0].type, B_STOP_ALERT);
        EXPECT_EQ(alerts[0].width, B_WIDTH_AS_USUAL);
        EXPECT_EQ(alerts[0].buttons, std::vector<std::string>{"Ok"});
    }

    // Without its number, or with one of another type, there is nothing to tell.
    kits::interface::ClearRecordedAlerts();
    Send(BMessage(MSG_NODE_ERROR));
    Send(With(MSG_NODE_ERROR, "Number", "2571"));
    EXPECT_TRUE(RecordedAlerts().empty());
}

TEST_F(TVWindowCommandsTest, NodeErrorAlertHoldsTheWindowThreadUntilAnswered)
{
    MakeWindow();
    std::promise<void> answer;
    const std::shared_future<void> answered = answer.get_future().share();
    std::atomic<thread_id> alertThread{-1};
    kits::interface::SetAlertResponder([&, answered](const AlertRecord&) {
        alertThread = find_thread(nullptr);
        // Bounded, so a failing test cannot hang.
        (void)answered.wait_for(std::chrono::seconds(10));
        return 0;
    });
    RunWindow();
    Post(With(MSG_NODE_ERROR, "Number", 2500));
    Post(With(MSG_STATION_CHANGED, "Name", "LATER"));
    ASSERT_TRUE(test_support::Await([&] { return alertThread.load() >= 0; }));
    EXPECT_EQ(alertThread.load(), window->Thread());
    // The pulse gives up on the busy window instead of waiting for the alert.
    window->Pulse();
    const status_t locked = window->LockWithTimeout(10000);
    if (locked == B_OK)
        window->Unlock();
    EXPECT_NE(locked, B_OK);
    answer.set_value();
    // The command that queued up meanwhile is handled once the alert is gone.
    EXPECT_TRUE(AwaitWindow([this] {
        return std::string(window->Title()) == "Ovelin Beta 4 - LATER";
    }));
}

TEST_F(TVWindowCommandsTest, TimeOutsRunDownWhileAnAlertHoldsTheWindow)
{
    MakeWindow();
    std::promise<void> answer;
    const std::shared_future<void> answered = answer.get_future().share();
    std::atomic<bool> alertOpen = false;
    kits::interface::SetAlertResponder([&, answered](const AlertRecord&) {
        alertOpen = true;
        (void)answered.wait_for(std::chrono::seconds(10));
        return 0;
    });
    RunWindow();
    window->ResizeTo(600, 450);
    Post(BMessage(MSG_VOLUME_UP));
    Post(With(MSG_NODE_ERROR, "Number", 2500));
    ASSERT_TRUE(test_support::Await([&] { return alertOpen.load(); }));
    // Both time-outs run out while the alert holds the window.
    Pulses(30);
    answer.set_value();
    EXPECT_TRUE(AwaitWindow([this] { return !SliderOverlay()->IsHidden(); }));
    // The first pulse that gets the window does what fell due.
    window->Pulse();
    window->Lock();
    EXPECT_TRUE(SliderOverlay()->IsHidden());
    EXPECT_EQ(VideoView()->RequestedWidth(), 600 - 81 + 1);
    window->Unlock();
}

TEST_F(TVWindowCommandsTest, MenuShortcutsReachTheirCommandsAndTheTunersOnlyWhileItIsEnabled)
{
    for (bool tunerFitted : {true, false}) {
        SCOPED_TRACE(tunerFitted ? "tuner" : "no tuner");
        MakeWindow(tunerFitted);
        // Without a tuner the whole menu is disabled, the other menus not.
        EXPECT_EQ(Menu(2)->IsEnabled(), tunerFitted);
        EXPECT_TRUE(Menu(1)->IsEnabled());
        RunWindow();
        window->ResizeTo(500, 400);
        // Each shortcut posts its command behind the keys already queued, so the channel
        // suite has been shown, or not, once the window has its optimal size again.
        Post(test_support::CommandKeyDown('s'));
        Post(test_support::CommandKeyDown('o'));
        EXPECT_TRUE(AwaitWindow([this] { return VideoView()->Bounds() == SIGNAL_4_3; }));
        window->ChannelSuiteWindow()->Lock();
        EXPECT_EQ(window->ChannelSuiteWindow()->IsHidden(), !tunerFitted);
        window->ChannelSuiteWindow()->Unlock();
        Post(test_support::CommandKeyDown(B_ENTER));
        EXPECT_TRUE(AwaitWindow([this] { return window->IsFullScreen(); }));
        // Without its menu bar full-screen still answers the shortcut.
        Post(test_support::CommandKeyDown(B_ENTER));
        EXPECT_TRUE(AwaitWindow([this] { return !window->IsFullScreen(); }));
        CloseWindow();
    }
}

TEST_F(TVWindowCommandsTest, FormatsMarkTheirItemAndResizeTheWindowFullScreenToo)
{
    MakeWindow();
    Send(BMessage(MSG_TOGGLE_FULLSCREEN));
    EXPECT_TRUE(window->IsFullScreen());
    EXPECT_EQ(VideoView()->Bounds(), SIGNAL_4_3);
    // Full-screen too the format asks for the resize, which shows the picture at its size.
    const int32 queued = window->CountQueuedMessages();
    Send(BMessage(MSG_FORMAT_16_9));
    EXPECT_GT(window->CountQueuedMessages(), queued);
    Send(BMessage(MSG_OPTIMAL_SIZE));
    EXPECT_EQ(VideoView()->Bounds(), BRect(0, 0, 767, 431));
    Send(BMessage(MSG_TOGGLE_FULLSCREEN));
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_EQ(window->Frame(), FRAME);

    // Running windowed, it takes the 625-line card's 16:9 picture, then its 4:3 one again.
    window->Show();
    window->Unlock();
    TVView* video = VideoView();
    for (const auto& [format, signal] : {std::pair{MSG_FORMAT_16_9, BRect(0, 0, 767, 431)},
             std::pair{MSG_FORMAT_4_3, SIGNAL_4_3}}) {
        ASSERT_EQ(window->PostMessage(format), B_OK);
        EXPECT_TRUE(AwaitWindow([&] { return video->Bounds() == signal; }));
        window->Lock();
        EXPECT_EQ(FormatMenu()->ItemAt(1)->IsMarked(), format == MSG_FORMAT_16_9);
        EXPECT_EQ(FormatMenu()->ItemAt(0)->IsMarked(), format == MSG_FORMAT_4_3);
        EXPECT_EQ(video->GetSignalSize(), signal);
        window->Unlock();
    }
}

TEST_F(TVWindowCommandsTest, FilterSettingsReachTheNodeManagerOnlyWithTheirField)
{
    MakeWindow();
    AnswerAlerts();
    RunWindow();
    // Every reconnection now fails, and the node manager says so with error 2410: a setting
    // that reaches it and makes it reconnect shows up as an alert, after the ones before it.
    kits::media::FailRosterOperation(kits::media::RosterOperation::Connect, B_ERROR);
    auto alerts = [](int32 count) {
        EXPECT_TRUE(kits::interface::AwaitAnsweredAlerts(count, test_support::AWAIT_TIMEOUT));
        std::vector<std::string> numbers;
        for (const AlertRecord& alert : RecordedAlerts())
            numbers.push_back(alert.text.substr(alert.text.rfind('#') + 1));
        return numbers;
    };
    const BMessage sentinel = With(MSG_NODE_ERROR, "Number", 17);

    // Missing fields, and fields of another type, are ignored.
    for (const BMessage& message : {BMessage(MSG_SET_DEINTERLACE),
             With(MSG_SET_DEINTERLACE, "DI", true), BMessage(MSG_SET_16BIT_LIMIT),
             With(MSG_SET_16BIT_LIMIT, "LM", 0), sentinel}) {
        Post(message);
    }
    EXPECT_EQ(alerts(1), std::vector<std::string>{"17"});
    Post(With(MSG_SET_DEINTERLACE, "DI", 1));
    EXPECT_EQ(alerts(2).size(), 2u);
    // A mode outside 0 to 2 reaches the node manager too, which takes it for none.
    Post(With(MSG_SET_DEINTERLACE, "DI", 7));
    EXPECT_EQ(alerts(3).size(), 3u);
    // On the 32-bit screen the limit's value, not just its arrival, decides.
    Post(With(MSG_SET_16BIT_LIMIT, "LM", true));
    Post(With(MSG_SET_16BIT_LIMIT, "LM", false));
    EXPECT_EQ(alerts(4).size(), 4u);
    Post(sentinel);
    EXPECT_EQ(alerts(5), (std::vector<std::string>{"17", "2410", "2410", "2410", "17"}));
}

TEST_F(TVWindowCommandsTest, SubtitleFilterFollowsItsFieldOnAStationWithSubtitles)
{
    MakeWindow();
    // A station of the test card that shows subtitles.
    const int32 channel = devices::ChannelPlan::PositionOf("E8");
    BParameter* tuner = test_support::CardParameter("Channel");
    ASSERT_EQ(tuner->SetValue(&channel, sizeof(channel), 0), B_OK);
    RunWindow();
    // The mean brightness of the subtitles' band once ten more frames have been shown. The
    // filter halves the band's background while subtitles show.
    auto bandBrightness = [&] {
        const int64 shown = kits::interface::HeadlessDisplay().PresentCount(window);
        EXPECT_TRUE(test_support::Await([&] {
            return kits::interface::HeadlessDisplay().PresentCount(window) >= shown + 10;
        }));
        window->Lock();
        const BRect frame = VideoView()->Frame();
        double sum = 0;
        int64 count = 0;
        for (int32 y = int32(frame.top) + 440; y <= int32(frame.top) + 530; y++) {
            for (int32 x = int32(frame.left); x <= int32(frame.right); x++, count++) {
                const uint32 pixel = window->ContentBuffer().PixelAt(x, y);
                sum += double((pixel >> 16 & 0xff) + (pixel >> 8 & 0xff) + (pixel & 0xff));
            }
        }
        window->Unlock();
        return sum / double(count);
    };

    const double plain = bandBrightness();
    ASSERT_GT(plain, 30);
    Post(BMessage(MSG_SET_SUBTITLE_FILTER));
    Post(With(MSG_SET_SUBTITLE_FILTER, "SF", 1));
    EXPECT_GT(bandBrightness(), plain * 0.9);
    Post(With(MSG_SET_SUBTITLE_FILTER, "SF", true));
    EXPECT_LT(bandBrightness(), plain * 0.75);
    Post(With(MSG_SET_SUBTITLE_FILTER, "SF", false));
    EXPECT_GT(bandBrightness(), plain * 0.9);
}

TEST_F(TVWindowCommandsTest, AuxiliaryWindowsAreShownOnRequest)
{
    MakeWindow();
    const std::pair<uint32, BWindow*> windows[] = {
        {MSG_SHOW_PREFERENCES, window->PreferencesWindow()},
        {MSG_SHOW_CHANNEL_SUITE, window->ChannelSuiteWindow()},
    };
    // The suite, hidden twice over, is shown however deep the nesting.
    window->ChannelSuiteWindow()->Lock();
    window->ChannelSuiteWindow()->Hide();
    window->ChannelSuiteWindow()->Unlock();
    for (const auto& [command, shown] : windows) {
        Send(BMessage(command));
        Send(BMessage(command));
        shown->Lock();
        EXPECT_FALSE(shown->IsHidden()) << shown->Title();
        // A shown window does not nest its showing: one hide hides it.
        shown->Hide();
        EXPECT_TRUE(shown->IsHidden()) << shown->Title();
        shown->Unlock();
    }
}

TEST_F(TVWindowCommandsTest, HelpDocumentsOpenWithThePreferredApplication)
{
    // An opener of the test's own records what it was asked to open.
    const std::string bin = folder.Path("bin");
    const std::string record = folder.Path("opened");
    std::filesystem::create_directories(bin);
    std::ofstream(bin + "/xdg-open") << "#!/bin/sh\necho \"$1\" >> '" << record << "'\n";
    std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath != nullptr ? oldPath : "";
    ASSERT_EQ(setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1), 0);
    WriteFile("Doc/Manual");
    MakeWindow();
    AnswerAlerts();

    // The quick start is missing: nothing is opened and nothing is said.
    Send(BMessage(MSG_SHOW_QUICK_START));
    Send(BMessage(MSG_SHOW_MANUAL));
    auto opened = [&] { return test_support::ReadBytes(record); };
    const bool any = test_support::Await([&] { return !opened().empty(); });
    setenv("PATH", savedPath.c_str(), 1);
    ASSERT_TRUE(any);
    EXPECT_EQ(opened(), applicationDirectory + "/Doc/Manual\n");
    EXPECT_TRUE(RecordedAlerts().empty());
}

}
