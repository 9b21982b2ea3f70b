#include "window/TVWindow.h"

#include "channels/ChannelSuite.h"
#include "devices/ChannelPlan.h"
#include "devices/TestStation.h"
#include "kits/interface/AlertTestHooks.h"
#include "kits/interface/Screen.h"
#include "prefs/Preferences.h"
#include "tests/prefs/TestMixerNode.h"
#include "tests/window/TVWindowFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

using kits::interface::AlertRecord;

// A message with the fields add puts in.
BMessage With(uint32 what, const std::function<void(BMessage&)>& add)
{
    BMessage message(what);
    add(message);
    return message;
}

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

    // A key pressed with the Command key, as the display delivers it.
    void PressCommandKey(char key)
    {
        BMessage press(B_KEY_DOWN);
        const char bytes[] = {key, '\0'};
        press.AddString("bytes", bytes);
        press.AddInt32("modifiers", B_COMMAND_KEY);
        Post(press);
    }

    // Answers every alert with its only button at once.
    static void AnswerAlerts()
    {
        kits::interface::SetAlertResponder([](const AlertRecord&) { return 0; });
    }

    // Presets on the channels after the one the test card starts on, so that none of them is
    // selected at the start.
    void WritePresetsAfterTheCardsChannel(const std::vector<std::string>& names)
    {
        std::vector<std::pair<int32, std::string>> presets;
        for (const std::string& name : names)
            presets.emplace_back(CardChannel() + 1 + int32(presets.size()), name);
        WritePresets(presets);
    }

    // The channel the test card starts on: that of its first station.
    static int32 CardChannel() { return devices::DefaultTestStations().front().channel; }
};

TEST(CommandsTest, CodesKeepTheirNumbers)
{
    // Other windows, the node manager and stored messages rely on these numbers.
    const std::pair<uint32, uint32> codes[] = {
        {MSG_CHANNEL_UP, 0x10000}, {MSG_CHANNEL_DOWN, 0x10001}, {MSG_VOLUME_UP, 0x10002},
        {MSG_VOLUME_DOWN, 0x10003}, {MSG_BRIGHTNESS_UP, 0x10004},
        {MSG_BRIGHTNESS_DOWN, 0x10005}, {MSG_CONTRAST_UP, 0x10006},
        {MSG_CONTRAST_DOWN, 0x10007}, {MSG_SATURATION_UP, 0x10008},
        {MSG_SATURATION_DOWN, 0x10009}, {MSG_SHOW_CHANNEL_SUITE, 0x1000a},
        {MSG_SHOW_MANUAL, 0x1000b}, {MSG_SHOW_QUICK_START, 0x1000c},
        {MSG_SHOW_PREFERENCES, 0x1000d}, {MSG_OPTIMAL_SIZE, 0x1000e}, {MSG_FORMAT_4_3, 0x1000f},
        {MSG_FORMAT_16_9, 0x10010}, {MSG_TOGGLE_FULLSCREEN, 0x10011},
        {MSG_SET_DEINTERLACE, 0x10012}, {MSG_SET_SUBTITLE_FILTER, 0x10013},
        {MSG_SET_16BIT_LIMIT, 0x10014}, {MSG_STATION_CHANGED, 0x10015},
        {MSG_NODE_ERROR, 0x20000},
    };
    for (const auto& [code, number] : codes)
        EXPECT_EQ(code, number) << std::hex << number;
}

TEST_F(TVWindowCommandsTest, LevelCommandsShowTheirCaptionAndTheSteppedLevel)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT,
        [] { return static_cast<BMediaNode*>(new TestMixerNode({"Line"})); }, 0), B_OK);
    MakeWindow();
    struct Case {
        uint32 command;
        const char* caption;
        float level;
    };
    // The mixer's line starts at 50 per cent; the card's adjustments start mid-range, and a
    // step of 5 is 2.5 per cent of contrast's 0 to 200 and about 2 of brightness's -128 to 127.
    const Case cases[] = {
        {MSG_VOLUME_UP, "Volume:", 55},
        {MSG_VOLUME_DOWN, "Volume:", 50},
        {MSG_BRIGHTNESS_UP, "Brightness:", 52},
        {MSG_BRIGHTNESS_DOWN, "Brightness:", 50},
        {MSG_CONTRAST_UP, "Contrast:", 52},
        {MSG_CONTRAST_DOWN, "Contrast:", 50},
        {MSG_SATURATION_UP, "Saturation:", 52},
        {MSG_SATURATION_DOWN, "Saturation:", 50},
        {MSG_SATURATION_DOWN, "Saturation:", 47},
    };
    Slider* slider = SliderOverlay();
    for (const Case& c : cases) {
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
}

TEST_F(TVWindowCommandsTest, EachCommandRestartsTheOverlayTimeOut)
{
    MakeWindow();
    // The time-out hides the overlays only of a window that is on screen.
    window->Show();
    Slider* slider = SliderOverlay();
    Send(BMessage(MSG_VOLUME_UP));
    Pulses(10);
    Send(BMessage(MSG_VOLUME_UP));
    Pulses(10);
    Send(BMessage(MSG_VOLUME_UP));
    Pulses(29);
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

TEST_F(TVWindowCommandsTest, ChannelCommandsWithoutTunerOrPresetsShowEmptyOverlays)
{
    for (bool tunerFitted : {false, true}) {
        SCOPED_TRACE(tunerFitted ? "tuner without presets" : "no tuner");
        if (tunerFitted)
            WritePresets({});
        MakeWindow(tunerFitted);
        for (uint32 command : {MSG_CHANNEL_UP, MSG_CHANNEL_DOWN}) {
            for (TextOver* label : {Label("pChannelLabel"), Label("pNameLabel")}) {
                label->SetText("stale");
                label->Hide();
            }
            Send(BMessage(command));
            for (TextOver* label : {Label("pChannelLabel"), Label("pNameLabel")}) {
                EXPECT_EQ(label->Text(), "");
                EXPECT_FALSE(label->IsHidden());
            }
            EXPECT_TRUE(SliderOverlay()->IsHidden());
        }
        CloseWindow();
    }
}

TEST_F(TVWindowCommandsTest, ZappingShowsThePresetAndTheStationChangeRetitlesTheWindow)
{
    WritePresetsAfterTheCardsChannel({"NORTH", "SOUTH", "WEST"});
    MakeWindow();
    Send(BMessage(MSG_CHANNEL_UP));
    EXPECT_EQ(Label("pChannelLabel")->Text(), "P 01");
    EXPECT_EQ(Label("pNameLabel")->Text(), "NORTH");
    Send(BMessage(MSG_CHANNEL_DOWN));
    EXPECT_EQ(Label("pChannelLabel")->Text(), "P 03");
    EXPECT_EQ(Label("pNameLabel")->Text(), "WEST");

    // The suite tunes the preset and tells the window, which takes its name and number.
    RunWindow();
    EXPECT_TRUE(AwaitWindow([this] {
        return std::string(window->Title()) == "Ovelin Beta 4 - WEST";
    }));
    window->Lock();
    EXPECT_EQ(Panel()->StationNumber(), 3);
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
    BParameter* channel = CardParameter("Channel");
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(test_support::Await([&] {
        int32 value = -1;
        size_t size = sizeof(value);
        return channel->GetValue(&value, &size, nullptr) == B_OK
            && value == CardChannel() + 1;
    }));
}

TEST_F(TVWindowCommandsTest, StationChangeSetsTheTitleAndThePanelNumberFromItsFields)
{
    MakeWindow();
    const struct {
        std::function<void(BMessage&)> fields;
        const char* title;
        int32 number;
    } cases[] = {
        {[](BMessage& m) { m.AddString("Name", "Channel  Nine "); m.AddInt32("Preset", 9); },
            "Ovelin Beta 4 - Channel  Nine ", 9},
        {[](BMessage& m) { m.AddString("Name", ""); }, "Ovelin Beta 4 - ", 9},
        {[](BMessage& m) { m.AddInt32("Preset", 12); }, "Ovelin Beta 4 - ", 12},
        // Fields of another type count as missing.
        {[](BMessage& m) { m.AddInt32("Name", 4); m.AddString("Preset", "4"); },
            "Ovelin Beta 4 - ", 12},
        {[](BMessage&) {}, "Ovelin Beta 4 - ", 12},
    };
    for (const auto& c : cases) {
        Send(With(MSG_STATION_CHANGED, c.fields));
        EXPECT_STREQ(window->Title(), c.title);
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
        {2570, "Could not start the nodes"},
        {2571, "Could not start the nodes"},
        // Numbers without a text of their own, the node manager's included.
        {2510, "Node error"},
        {2541, "Node error"},
        {17, "Node error"},
        {-3, "Node error"},
    };
    for (const auto& [number, text] : texts) {
        SCOPED_TRACE(number);
        kits::interface::ClearRecordedAlerts();
        Send(With(MSG_NODE_ERROR, [number = number](BMessage& m) {
            m.AddInt32("Number", number);
        }));
        const std::vector<AlertRecord> alerts = kits::interface::RecordedAlerts();
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
    Send(With(MSG_NODE_ERROR, [](BMessage& m) { m.AddString("Number", "2571"); }));
    EXPECT_TRUE(kits::interface::RecordedAlerts().empty());
}

TEST_F(TVWindowCommandsTest, NodeErrorAlertHoldsTheWindowThreadUntilAnswered)
{
    MakeWindow();
    std::mutex lock;
    std::condition_variable answered;
    bool release = false;
    std::atomic<thread_id> alertThread{-1};
    kits::interface::SetAlertResponder([&](const AlertRecord&) {
        alertThread = find_thread(nullptr);
        std::unique_lock<std::mutex> guard(lock);
        // Bounded, so a failing test cannot hang.
        answered.wait_for(guard, std::chrono::seconds(10), [&] { return release; });
        return 0;
    });
    RunWindow();
    Post(With(MSG_NODE_ERROR, [](BMessage& m) { m.AddInt32("Number", 2500); }));
    Post(With(MSG_STATION_CHANGED, [](BMessage& m) { m.AddString("Name", "LATER"); }));
    ASSERT_TRUE(test_support::Await([&] { return alertThread.load() >= 0; }));
    EXPECT_EQ(alertThread.load(), window->Thread());
    // The pulse gives up on the busy window instead of waiting for the alert.
    window->Pulse();
    const status_t locked = window->LockWithTimeout(10000);
    if (locked == B_OK)
        window->Unlock();
    EXPECT_NE(locked, B_OK);
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    answered.notify_all();
    // The command that queued up meanwhile is handled once the alert is gone.
    EXPECT_TRUE(AwaitWindow([this] {
        return std::string(window->Title()) == "Ovelin Beta 4 - LATER";
    }));
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
        // Once the window runs, its video view takes the signal's size.
        ASSERT_TRUE(AwaitWindow([this] { return VideoView()->Bounds() == SIGNAL_4_3; }));
        window->ResizeTo(500, 400);
        // Each shortcut posts its command behind the keys already queued, so the channel
        // suite has been shown, or not, once the window has its optimal size again.
        PressCommandKey('s');
        PressCommandKey('o');
        EXPECT_TRUE(AwaitWindow([this] { return VideoView()->Bounds() == SIGNAL_4_3; }));
        window->ChannelSuiteWindow()->Lock();
        EXPECT_EQ(window->ChannelSuiteWindow()->IsHidden(), !tunerFitted);
        window->ChannelSuiteWindow()->Unlock();
        PressCommandKey(B_ENTER);
        EXPECT_TRUE(AwaitWindow([this] { return window->IsFullScreen(); }));
        CloseWindow();
    }
}

TEST_F(TVWindowCommandsTest, SixteenNineMarksItsItemAndResizesToTheNewSignal)
{
    MakeWindow();
    RunWindow();
    TVView* video = VideoView();
    ASSERT_TRUE(AwaitWindow([&] { return video->Bounds() == SIGNAL_4_3; }));
    // The 625-line card's 16:9 picture, then its 4:3 one again.
    for (const auto& step : {std::pair{MSG_FORMAT_16_9, BRect(0, 0, 767, 431)},
             std::pair{MSG_FORMAT_4_3, SIGNAL_4_3}}) {
        ASSERT_EQ(window->PostMessage(step.first), B_OK);
        EXPECT_TRUE(AwaitWindow([&] { return video->Bounds() == step.second; }));
        window->Lock();
        EXPECT_EQ(FormatMenu()->ItemAt(1)->IsMarked(), step.first == MSG_FORMAT_16_9);
        EXPECT_EQ(FormatMenu()->ItemAt(0)->IsMarked(), step.first == MSG_FORMAT_4_3);
        EXPECT_EQ(video->GetSignalSize(), step.second);
        window->Unlock();
    }
    window->Lock();
}

TEST_F(TVWindowCommandsTest, FullScreenTogglesAndAFormatChangeKeepsTheScreenCovered)
{
    MakeWindow();
    const BRect screen = BScreen(window).Frame();
    const BRect windowed = window->Frame();
    Send(BMessage(MSG_TOGGLE_FULLSCREEN));
    EXPECT_TRUE(window->IsFullScreen());
    EXPECT_EQ(window->Frame(), screen);

    // The resize is still asked for; full-screen it leaves the window over the whole screen.
    const int32 queued = window->CountQueuedMessages();
    Send(BMessage(MSG_FORMAT_16_9));
    EXPECT_TRUE(FormatMenu()->ItemAt(1)->IsMarked());
    EXPECT_GT(window->CountQueuedMessages(), queued);
    Send(BMessage(MSG_OPTIMAL_SIZE));
    EXPECT_EQ(window->Frame(), screen);

    Send(BMessage(MSG_TOGGLE_FULLSCREEN));
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_EQ(window->Frame(), windowed);
}

TEST_F(TVWindowCommandsTest, FilterSettingsReachTheNodeManagerOnlyWithTheirField)
{
    MakeWindow();
    AnswerAlerts();
    RunWindow();
    // Every reconnection now fails, and the node manager says so with error 2410: a setting
    // that reaches it and makes it reconnect shows up as an alert.
    kits::media::FailRosterOperation(kits::media::RosterOperation::Connect, B_ERROR);
    auto numbers = [] {
        std::vector<std::string> last;
        for (const AlertRecord& alert : kits::interface::RecordedAlerts())
            last.push_back(alert.text.substr(alert.text.rfind('#') + 1));
        return last;
    };
    const BMessage sentinel = With(MSG_NODE_ERROR, [](BMessage& m) { m.AddInt32("Number", 17); });

    // Missing fields, and fields of another type, are ignored.
    Post(BMessage(MSG_SET_DEINTERLACE));
    Post(With(MSG_SET_DEINTERLACE, [](BMessage& m) { m.AddBool("DI", true); }));
    Post(BMessage(MSG_SET_16BIT_LIMIT));
    Post(With(MSG_SET_16BIT_LIMIT, [](BMessage& m) { m.AddInt32("LM", 0); }));
    Post(BMessage(MSG_SET_SUBTITLE_FILTER));
    Post(sentinel);
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(1, test_support::AWAIT_TIMEOUT));
    EXPECT_EQ(numbers(), std::vector<std::string>{"17"});

    Post(With(MSG_SET_DEINTERLACE, [](BMessage& m) { m.AddInt32("DI", 1); }));
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(2, test_support::AWAIT_TIMEOUT));
    // A mode outside 0 to 2 reaches the node manager too, which takes it for none.
    Post(With(MSG_SET_DEINTERLACE, [](BMessage& m) { m.AddInt32("DI", 7); }));
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(3, test_support::AWAIT_TIMEOUT));
    // On the 32-bit screen the limit's value, not just its arrival, decides.
    Post(With(MSG_SET_16BIT_LIMIT, [](BMessage& m) { m.AddBool("LM", true); }));
    Post(With(MSG_SET_16BIT_LIMIT, [](BMessage& m) { m.AddBool("LM", false); }));
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(4, test_support::AWAIT_TIMEOUT));
    Post(sentinel);
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(5, test_support::AWAIT_TIMEOUT));
    EXPECT_EQ(numbers(), (std::vector<std::string>{"17", "2410", "2410", "2410", "17"}));
}

TEST_F(TVWindowCommandsTest, SubtitleFilterFollowsItsFieldOnAStationWithSubtitles)
{
    MakeWindow();
    // A station of the test card that shows subtitles.
    const int32 channel = devices::ChannelPlan::PositionOf("E8");
    ASSERT_EQ(CardParameter("Channel")->SetValue(&channel, sizeof(channel), 0), B_OK);
    RunWindow();
    TVView* video = VideoView();
    ASSERT_TRUE(AwaitWindow([&] { return video->Bounds() == SIGNAL_4_3; }));
    // The mean brightness of the subtitles' band once ten more frames have been shown. The
    // filter halves the band's background while subtitles show.
    auto bandBrightness = [&] {
        const int64 shown = kits::interface::HeadlessDisplay().PresentCount(window);
        EXPECT_TRUE(test_support::Await([&] {
            return kits::interface::HeadlessDisplay().PresentCount(window) >= shown + 10;
        }));
        window->Lock();
        const BRect frame = video->Frame();
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
    Post(With(MSG_SET_SUBTITLE_FILTER, [](BMessage& m) { m.AddInt32("SF", 1); }));
    EXPECT_GT(bandBrightness(), plain * 0.9);
    Post(With(MSG_SET_SUBTITLE_FILTER, [](BMessage& m) { m.AddBool("SF", true); }));
    EXPECT_LT(bandBrightness(), plain * 0.75);
    Post(With(MSG_SET_SUBTITLE_FILTER, [](BMessage& m) { m.AddBool("SF", false); }));
    EXPECT_GT(bandBrightness(), plain * 0.9);
}

TEST_F(TVWindowCommandsTest, AuxiliaryWindowsAreShownOnRequest)
{
    MakeWindow();
    Preferences* preferences = window->PreferencesWindow();
    ChannelSuite* suite = window->ChannelSuiteWindow();
    Send(BMessage(MSG_SHOW_PREFERENCES));
    Send(BMessage(MSG_SHOW_PREFERENCES));
    preferences->Lock();
    EXPECT_FALSE(preferences->IsHidden());
    // A shown window does not nest its showing: one hide hides it.
    preferences->Hide();
    EXPECT_TRUE(preferences->IsHidden());
    preferences->Unlock();

    // The suite was hidden twice over.
    suite->Lock();
    suite->Hide();
    suite->Unlock();
    Send(BMessage(MSG_SHOW_CHANNEL_SUITE));
    Send(BMessage(MSG_SHOW_CHANNEL_SUITE));
    suite->Lock();
    EXPECT_FALSE(suite->IsHidden());
    suite->Hide();
    EXPECT_TRUE(suite->IsHidden());
    suite->Unlock();
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
    const bool opened = test_support::Await([&] {
        std::ifstream lines(record);
        std::string line;
        return std::getline(lines, line) && !line.empty();
    });
    setenv("PATH", savedPath.c_str(), 1);
    ASSERT_TRUE(opened);
    std::ifstream lines(record);
    std::vector<std::string> documents;
    for (std::string line; std::getline(lines, line);)
        documents.push_back(line);
    EXPECT_EQ(documents, std::vector<std::string>{applicationDirectory + "/Doc/Manual"});
    EXPECT_TRUE(kits::interface::RecordedAlerts().empty());
}

}
