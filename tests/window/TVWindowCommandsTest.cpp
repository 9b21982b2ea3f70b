#include "window/TVWindow.h"

#include "channels/ChannelSuite.h"
#include "channels/ControlPanel.h"
#include "devices/ChannelPlan.h"
#include "devices/TestStation.h"
#include "kits/app/Message.h"
#include "kits/interface/AlertTestHooks.h"
#include "kits/interface/ClipRegion.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/Menu.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/Snapshot.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/Parameter.h"
#include "kits/media/ParameterWeb.h"
#include "kits/storage/File.h"
#include "prefs/Preferences.h"
#include "tests/prefs/TestMixerNode.h"
#include "tests/window/TVWindowFixture.h"
#include "window/Commands.h"
#include "window/Slider.h"
#include "window/TextOver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

using kits::interface::AlertRecord;

constexpr uint32 WHITE = kits::interface::PackColor(255, 255, 255);
constexpr uint32 BLACK = kits::interface::PackColor(0, 0, 0);

bool IsGrey(uint32 pixel)
{
    const uint32 red = (pixel >> 16) & 0xff;
    const uint32 green = (pixel >> 8) & 0xff;
    const uint32 blue = pixel & 0xff;
    return red == green && green == blue;
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

    // Starts the window's loop; the test lets go of the lock, so it locks again to look.
    void RunWindow()
    {
        window->Show();
        window->Unlock();
    }

    bool AwaitWindow(const std::function<bool()>& condition)
    {
        return AwaitCondition([&] {
            window->Lock();
            const bool met = condition();
            window->Unlock();
            return met;
        });
    }

    void RegisterMixer()
    {
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT,
            [] { return static_cast<BMediaNode*>(new TestMixerNode({"Line"})); }, 0), B_OK);
    }

    // Answers every alert with its only button at once.
    static void AnswerAlerts()
    {
        kits::interface::SetAlertResponder([](const AlertRecord&) { return 0; });
    }

    // Writes the presets file with one preset for each name, on the channels after the one
    // the test card starts on, so that none of them is selected at the start.
    void WritePresets(const std::vector<std::string>& names)
    {
        std::filesystem::create_directories(bootRoot + "/home/config/settings/Media");
        BMessage stored('CNLS');
        for (size_t i = 0; i < names.size(); i++) {
            stored.AddInt32("Channel", CardChannel() + 1 + int32(i));
            stored.AddString("Name", names[i].c_str());
        }
        BFile file("/boot/home/config/settings/Media/presets",
            B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
        ASSERT_EQ(file.InitCheck(), B_OK);
        ASSERT_EQ(stored.Flatten(&file), B_OK);
    }

    // The channel the test card starts on: that of its first station.
    static int32 CardChannel() { return devices::DefaultTestStations().front().channel; }

    Slider* SliderOverlay() const { return dynamic_cast<Slider*>(window->FindView("pSlider")); }
    TextOver* NameLabel() const
    {
        return dynamic_cast<TextOver*>(window->FindView("pNameLabel"));
    }
    TextOver* ChannelLabel() const
    {
        return dynamic_cast<TextOver*>(window->FindView("pChannelLabel"));
    }
    ControlPanel* Panel() const
    {
        return dynamic_cast<ControlPanel*>(window->FindView("ControlPanel"));
    }
    BMenu* FormatMenu() const { return Menu(1)->ItemAt(0)->Submenu(); }

    static void HideFully(BView* view)
    {
        while (!view->IsHidden())
            view->Hide();
    }

    void Pulses(int32 count)
    {
        for (int32 i = 0; i < count; i++)
            window->Pulse();
    }
};

TEST_F(TVWindowCommandsTest, LevelCommandsShowTheirCaptionAndTheSteppedLevel)
{
    RegisterMixer();
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
    ASSERT_NE(slider, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        slider->SetSlider("stale", -1);
        // Hidden twice over: the command shows it however deep the nesting.
        slider->Hide();
        Send(BMessage(c.command));
        EXPECT_EQ(slider->Label(), c.caption);
        EXPECT_FLOAT_EQ(slider->Value(), c.level);
        EXPECT_FALSE(slider->IsHidden());
        HideFully(slider);
    }
    // The text overlays are not touched.
    EXPECT_TRUE(NameLabel()->IsHidden());
    EXPECT_TRUE(ChannelLabel()->IsHidden());
}

TEST_F(TVWindowCommandsTest, LevelWithoutItsControlShowsTheCaptionWithAnEmptyBar)
{
    // No audio output is registered: there is no volume.
    MakeWindow();
    SliderOverlay()->SetSlider("stale", 70);
    Send(BMessage(MSG_VOLUME_UP));
    EXPECT_EQ(SliderOverlay()->Label(), "Volume:");
    EXPECT_FLOAT_EQ(SliderOverlay()->Value(), 0);
    EXPECT_FALSE(SliderOverlay()->IsHidden());
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
    EXPECT_FALSE(slider->IsHidden());
    Pulses(29);
    EXPECT_FALSE(slider->IsHidden());
    EXPECT_FALSE(NameLabel()->IsHidden());
    EXPECT_FALSE(ChannelLabel()->IsHidden());
    Pulses(1);
    EXPECT_TRUE(slider->IsHidden());
    EXPECT_TRUE(NameLabel()->IsHidden());
    EXPECT_TRUE(ChannelLabel()->IsHidden());
}

TEST_F(TVWindowCommandsTest, ChannelCommandsWithoutTunerOrPresetsShowEmptyOverlays)
{
    for (bool tunerFitted : {false, true}) {
        SCOPED_TRACE(tunerFitted ? "tuner without presets" : "no tuner");
        if (tunerFitted)
            WritePresets({});
        MakeWindow(tunerFitted);
        for (uint32 command : {MSG_CHANNEL_UP, MSG_CHANNEL_DOWN}) {
            ChannelLabel()->SetText("stale");
            NameLabel()->SetText("stale");
            HideFully(ChannelLabel());
            HideFully(NameLabel());
            Send(BMessage(command));
            EXPECT_EQ(ChannelLabel()->Text(), "");
            EXPECT_EQ(NameLabel()->Text(), "");
            EXPECT_FALSE(ChannelLabel()->IsHidden());
            EXPECT_FALSE(NameLabel()->IsHidden());
            EXPECT_TRUE(SliderOverlay()->IsHidden());
        }
        CloseWindow();
    }
}

TEST_F(TVWindowCommandsTest, ZappingShowsThePresetAndTheStationChangeRetitlesTheWindow)
{
    WritePresets({"NORTH", "SOUTH", "WEST"});
    MakeWindow();
    Send(BMessage(MSG_CHANNEL_UP));
    EXPECT_EQ(ChannelLabel()->Text(), "P 01");
    EXPECT_EQ(NameLabel()->Text(), "NORTH");
    Send(BMessage(MSG_CHANNEL_DOWN));
    EXPECT_EQ(ChannelLabel()->Text(), "P 03");
    EXPECT_EQ(NameLabel()->Text(), "WEST");

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
    WritePresets({"NORTH", "SOUTH"});
    MakeWindow();
    ChannelSuite* suite = window->ChannelSuiteWindow();
    // Quit as the application quits it, the card staying.
    window->Quit();
    window = nullptr;
    // The application keeps the suite until it ends; a zap now must not reach the old view.
    suite->Lock();
    EXPECT_EQ(suite->ZapUp(), "P 01");
    suite->Unlock();
    BMediaRoster* roster = BMediaRoster::Roster();
    media_node input;
    BParameterWeb* web = nullptr;
    ASSERT_EQ(roster->GetVideoInput(&input), B_OK);
    ASSERT_EQ(roster->GetParameterWebFor(input, &web), B_OK);
    (void)roster->ReleaseNode(input);
    BParameter* channel = nullptr;
    for (int32 i = 0; i < web->CountParameters(); i++) {
        if (std::strcmp(web->ParameterAt(i)->Name(), "Channel") == 0)
            channel = web->ParameterAt(i);
    }
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(AwaitCondition([&] {
        int32 value = -1;
        size_t size = sizeof(value);
        return channel->GetValue(&value, &size, nullptr) == B_OK
            && value == CardChannel() + 1;
    }));
}

TEST_F(TVWindowCommandsTest, StationChangeSetsTheTitleAndThePanelNumber)
{
    MakeWindow();
    BMessage both(MSG_STATION_CHANGED);
    both.AddString("Name", "Channel  Nine ");
    both.AddInt32("Preset", 9);
    Send(both);
    EXPECT_STREQ(window->Title(), "Ovelin Beta 4 - Channel  Nine ");
    EXPECT_EQ(Panel()->StationNumber(), 9);

    BMessage emptyName(MSG_STATION_CHANGED);
    emptyName.AddString("Name", "");
    Send(emptyName);
    EXPECT_STREQ(window->Title(), "Ovelin Beta 4 - ");
    EXPECT_EQ(Panel()->StationNumber(), 9);

    BMessage numberOnly(MSG_STATION_CHANGED);
    numberOnly.AddInt32("Preset", 12);
    Send(numberOnly);
    EXPECT_STREQ(window->Title(), "Ovelin Beta 4 - ");
    EXPECT_EQ(Panel()->StationNumber(), 12);

    // Fields of another type count as missing.
    BMessage wrongTypes(MSG_STATION_CHANGED);
    wrongTypes.AddInt32("Name", 4);
    wrongTypes.AddString("Preset", "4");
    Send(wrongTypes);
    Send(BMessage(MSG_STATION_CHANGED));
    EXPECT_STREQ(window->Title(), "Ovelin Beta 4 - ");
    EXPECT_EQ(Panel()->StationNumber(), 12);
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
        BMessage error(MSG_NODE_ERROR);
        error.AddInt32("Number", number);
        Send(error);
        const std::vector<AlertRecord> alerts = kits::interface::RecordedAlerts();
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].title, "Node error");
        EXPECT_EQ(alerts[0].text, std::string(text) + "\nError #" + std::to_string(number));
        EXPECT_EQ(alerts[0].type, B_STOP_ALERT);
        EXPECT_EQ(alerts[0].width, B_WIDTH_AS_USUAL);
        EXPECT_EQ(alerts[0].buttons, std::vector<std::string>{"Ok"});
        EXPECT_EQ(alerts[0].chosen, 0);
    }

    // Without its number, or with one of another type, there is nothing to tell.
    kits::interface::ClearRecordedAlerts();
    Send(BMessage(MSG_NODE_ERROR));
    BMessage wrongType(MSG_NODE_ERROR);
    wrongType.AddString("Number", "2571");
    Send(wrongType);
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
    BMessage error(MSG_NODE_ERROR);
    error.AddInt32("Number", 2500);
    ASSERT_EQ(window->PostMessage(&error), B_OK);
    BMessage station(MSG_STATION_CHANGED);
    station.AddString("Name", "LATER");
    ASSERT_EQ(window->PostMessage(&station), B_OK);
    ASSERT_TRUE(AwaitCondition([&] { return alertThread.load() >= 0; }));
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
    EXPECT_TRUE(kits::interface::AwaitAnsweredAlerts(1, 5000000));
    // The command that queued up meanwhile is handled once the alert is gone.
    EXPECT_TRUE(AwaitWindow([this] {
        return std::string(window->Title()) == "Ovelin Beta 4 - LATER";
    }));
}

TEST_F(TVWindowCommandsTest, SixteenNineMarksItsItemAndResizesToTheNewSignal)
{
    MakeWindow();
    RunWindow();
    TVView* video = VideoView();
    ASSERT_TRUE(AwaitWindow([&] { return video->Bounds() == BRect(0, 0, 767, 575); }));

    ASSERT_EQ(window->PostMessage(MSG_FORMAT_16_9), B_OK);
    // The 625-line card's 16:9 picture.
    EXPECT_TRUE(AwaitWindow([&] { return video->Bounds() == BRect(0, 0, 767, 431); }));
    window->Lock();
    EXPECT_TRUE(FormatMenu()->ItemAt(1)->IsMarked());
    EXPECT_FALSE(FormatMenu()->ItemAt(0)->IsMarked());
    EXPECT_EQ(video->GetSignalSize(), BRect(0, 0, 767, 431));
    window->Unlock();

    ASSERT_EQ(window->PostMessage(MSG_FORMAT_4_3), B_OK);
    EXPECT_TRUE(AwaitWindow([&] { return video->Bounds() == BRect(0, 0, 767, 575); }));
    window->Lock();
    EXPECT_TRUE(FormatMenu()->ItemAt(0)->IsMarked());
    EXPECT_FALSE(FormatMenu()->ItemAt(1)->IsMarked());
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
    auto post = [this](BMessage message) { ASSERT_EQ(window->PostMessage(&message), B_OK); };
    auto numbers = [] {
        std::vector<std::string> last;
        for (const AlertRecord& alert : kits::interface::RecordedAlerts())
            last.push_back(alert.text.substr(alert.text.rfind('#') + 1));
        return last;
    };
    auto withField = [](uint32 what, auto add) {
        BMessage message(what);
        add(message);
        return message;
    };
    BMessage sentinel(MSG_NODE_ERROR);
    sentinel.AddInt32("Number", 17);

    // Missing fields, and fields of another type, are ignored.
    post(BMessage(MSG_SET_DEINTERLACE));
    post(withField(MSG_SET_DEINTERLACE, [](BMessage& m) { m.AddBool("DI", true); }));
    post(BMessage(MSG_SET_16BIT_LIMIT));
    post(withField(MSG_SET_16BIT_LIMIT, [](BMessage& m) { m.AddInt32("LM", 0); }));
    post(BMessage(MSG_SET_SUBTITLE_FILTER));
    post(sentinel);
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(1, 5000000));
    EXPECT_EQ(numbers(), std::vector<std::string>{"17"});

    post(withField(MSG_SET_DEINTERLACE, [](BMessage& m) { m.AddInt32("DI", 1); }));
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(2, 5000000));
    // A mode outside 0 to 2 reaches the node manager too, which takes it for none.
    post(withField(MSG_SET_DEINTERLACE, [](BMessage& m) { m.AddInt32("DI", 7); }));
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(3, 5000000));
    // On the 32-bit screen the limit's value, not just its arrival, decides.
    post(withField(MSG_SET_16BIT_LIMIT, [](BMessage& m) { m.AddBool("LM", true); }));
    post(withField(MSG_SET_16BIT_LIMIT, [](BMessage& m) { m.AddBool("LM", false); }));
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(4, 5000000));
    post(sentinel);
    ASSERT_TRUE(kits::interface::AwaitAnsweredAlerts(5, 5000000));
    EXPECT_EQ(numbers(), (std::vector<std::string>{"17", "2410", "2410", "2410", "17"}));
}

TEST_F(TVWindowCommandsTest, SubtitleFilterFollowsItsFieldOnAStationWithSubtitles)
{
    MakeWindow();
    BMediaRoster* roster = BMediaRoster::Roster();
    media_node input;
    BParameterWeb* web = nullptr;
    ASSERT_EQ(roster->GetVideoInput(&input), B_OK);
    ASSERT_EQ(roster->GetParameterWebFor(input, &web), B_OK);
    (void)roster->ReleaseNode(input);
    for (int32 i = 0; i < web->CountParameters(); i++) {
        if (std::strcmp(web->ParameterAt(i)->Name(), "Channel") != 0)
            continue;
        // A station of the test card that shows subtitles.
        const int32 channel = devices::ChannelPlan::PositionOf("E8");
        ASSERT_EQ(web->ParameterAt(i)->SetValue(&channel, sizeof(channel), 0), B_OK);
    }
    RunWindow();
    TVView* video = VideoView();
    ASSERT_TRUE(AwaitWindow([&] { return video->Bounds() == BRect(0, 0, 767, 575); }));
    auto presents = [this] { return kits::interface::HeadlessDisplay().PresentCount(window); };
    // The mean brightness of the subtitles' band once ten more frames have been shown. The
    // filter halves the band's background while subtitles show.
    auto bandBrightness = [&] {
        const int64 start = presents();
        EXPECT_TRUE(AwaitCondition([&] { return presents() >= start + 10; }));
        window->Lock();
        const kits::interface::FrameBuffer& pixels = window->ContentBuffer();
        const BRect frame = video->Frame();
        double sum = 0;
        int64 count = 0;
        for (int32 y = int32(frame.top) + 440; y <= int32(frame.top) + 530; y++) {
            for (int32 x = int32(frame.left); x <= int32(frame.right); x++) {
                const uint32 pixel = pixels.PixelAt(x, y);
                sum += double((pixel >> 16 & 0xff) + (pixel >> 8 & 0xff) + (pixel & 0xff));
                count++;
            }
        }
        window->Unlock();
        return sum / double(count);
    };
    auto post = [this](BMessage message) { ASSERT_EQ(window->PostMessage(&message), B_OK); };

    const double plain = bandBrightness();
    ASSERT_GT(plain, 30);
    post(BMessage(MSG_SET_SUBTITLE_FILTER));
    BMessage wrongType(MSG_SET_SUBTITLE_FILTER);
    wrongType.AddInt32("SF", 1);
    post(wrongType);
    EXPECT_GT(bandBrightness(), plain * 0.9);

    BMessage on(MSG_SET_SUBTITLE_FILTER);
    on.AddBool("SF", true);
    post(on);
    EXPECT_LT(bandBrightness(), plain * 0.75);

    BMessage off(MSG_SET_SUBTITLE_FILTER);
    off.AddBool("SF", false);
    post(off);
    EXPECT_GT(bandBrightness(), plain * 0.9);
}

TEST_F(TVWindowCommandsTest, AuxiliaryWindowsAreShownOnRequest)
{
    MakeWindow();
    Preferences* preferences = window->PreferencesWindow();
    ChannelSuite* suite = window->ChannelSuiteWindow();
    ASSERT_NE(preferences, nullptr);
    ASSERT_NE(suite, nullptr);
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
    {
        std::ofstream opener(bin + "/xdg-open");
        opener << "#!/bin/sh\necho \"$1\" >> '" << record << "'\n";
    }
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
    const bool opened = AwaitCondition([&] {
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

TEST_F(TVWindowCommandsTest, AboutGoesToTheApplication)
{
    MakeWindow();
    const int32 queued = application->CountQueuedMessages();
    Send(BMessage(B_ABOUT_REQUESTED));
    EXPECT_EQ(application->CountQueuedMessages(), queued + 1);
}

// The live picture with the level overlay over it: the overlay's box, caption and bar stay as
// drawn while frames keep coming, and the picture returns there once the overlay is gone.
TEST_F(TVWindowCommandsTest, SnapshotShowsTheOverlayIntactOverTheLivePicture)
{
    MakeWindow();
    RunWindow();
    TVView* video = VideoView();
    ASSERT_TRUE(AwaitWindow([&] { return video->Bounds() == BRect(0, 0, 767, 575); }));
    const kits::interface::FrameBuffer& pixels = window->ContentBuffer();
    BRect videoFrame;
    BRect sliderFrame;
    // The pixels an area covers, row by row, rounded as the views are.
    auto capture = [&](const BRect& area) {
        const kits::interface::PixelRect rect = kits::interface::ToPixels(area);
        std::vector<uint32> copy;
        for (int32 y = rect.top; y <= rect.bottom; y++) {
            for (int32 x = rect.left; x <= rect.right; x++)
                copy.push_back(pixels.PixelAt(x, y));
        }
        return copy;
    };
    auto presents = [this] { return kits::interface::HeadlessDisplay().PresentCount(window); };
    auto awaitPresents = [&](int64 count) {
        const int64 start = presents();
        return AwaitCondition([&] { return presents() >= start + count; });
    };

    ASSERT_EQ(window->PostMessage(MSG_CONTRAST_UP), B_OK);
    ASSERT_TRUE(AwaitWindow([&] { return !SliderOverlay()->IsHidden(); }));
    ASSERT_TRUE(awaitPresents(10));

    window->Lock();
    videoFrame = video->Frame();
    sliderFrame = SliderOverlay()->Frame();
    sliderFrame.OffsetBy(videoFrame.LeftTop());
    // The picture above the overlay; the channel label is hidden.
    const BRect picture(videoFrame.left, videoFrame.top, videoFrame.right, sliderFrame.top - 1);
    const std::vector<uint32> overlayBefore = capture(sliderFrame);
    const std::vector<uint32> pictureBefore = capture(picture);
    const std::string path = folder.Path("overlay.png");
    ASSERT_EQ(window->WriteSnapshot(path.c_str()), B_OK);
    window->Unlock();
    EXPECT_GT(std::filesystem::file_size(path), 0u);

    ASSERT_TRUE(awaitPresents(10));
    window->Lock();
    const std::vector<uint32> overlayAfter = capture(sliderFrame);
    const std::vector<uint32> pictureAfter = capture(picture);
    window->Unlock();

    // The picture moved on, in colour; the overlay did not change.
    EXPECT_NE(pictureBefore, pictureAfter);
    EXPECT_TRUE(std::any_of(pictureAfter.begin(), pictureAfter.end(),
        [](uint32 pixel) { return !IsGrey(pixel); }));
    EXPECT_EQ(overlayBefore, overlayAfter);

    // The overlay is black on white: its box, its caption and its bar at 52 per cent.
    const kits::interface::PixelRect box = kits::interface::ToPixels(sliderFrame);
    const int32 barEnd = int32((SliderOverlay()->Bounds().Width() - 20) * 52 / 100);
    auto at = [&](int32 x, int32 y) { return overlayAfter[size_t(y * box.Width() + x)]; };
    int32 caption = 0;
    for (int32 y = 0; y < box.Height(); y++) {
        for (int32 x = 0; x < box.Width(); x++) {
            SCOPED_TRACE(testing::Message() << "overlay pixel " << x << "," << y);
            ASSERT_TRUE(IsGrey(at(x, y)));
            if (y < 25) {
                caption += at(x, y) != WHITE;
            } else if (y <= 44 && x >= 10 && x < barEnd) {
                ASSERT_EQ(at(x, y), BLACK);
            } else if (y > 44 || x < 10 || x > barEnd + 1) {
                ASSERT_EQ(at(x, y), WHITE);
            }
        }
    }
    EXPECT_GT(caption, 50);

    // Gone after its time-out, the overlay leaves its place to the picture.
    window->Lock();
    Pulses(30);
    EXPECT_TRUE(SliderOverlay()->IsHidden());
    window->Unlock();
    EXPECT_TRUE(AwaitWindow([&] {
        const std::vector<uint32> place = capture(sliderFrame);
        return std::any_of(place.begin(), place.end(),
            [](uint32 pixel) { return !IsGrey(pixel); });
    }));
}

}
