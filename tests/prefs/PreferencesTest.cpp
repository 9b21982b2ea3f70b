#include "prefs/Preferences.h"

#include "devices/PictureControls.h"
#include "kits/app/Application.h"
#include "kits/interface/Control.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/kits/interface/InterfaceTestSupport.h"
#include "tests/support/Await.h"
#include "tests/support/FileBytes.h"
#include "tests/support/MessageWith.h"
#include "tests/support/MixerNode.h"
#include "tests/support/TestCard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

using test_support::CardValue;
using test_support::GoldenBytes;
using test_support::ReadBytes;
using test_support::TestMixerNode;
using test_support::With;

// The main window as the preferences see it: it notes the signal options it is sent, as
// "DI 1", "SF 0" or "LM 1", in order.
class MainWindowDouble : public BWindow {
public:
    MainWindowDouble()
        : BWindow(BRect(30, 40, 429, 339), "main", B_TITLED_WINDOW, 0)
    {
    }

    void MessageReceived(BMessage* message) override
    {
        int32 mode = 0;
        bool on = false;
        std::string noted = "? " + std::to_string(message->what);
        if (message->what == MSG_SET_DEINTERLACE && message->FindInt32("DI", &mode) == B_OK)
            noted = "DI " + std::to_string(mode);
        else if (message->what == MSG_SET_SUBTITLE_FILTER && message->FindBool("SF", &on) == B_OK)
            noted = std::string("SF ") + (on ? "1" : "0");
        else if (message->what == MSG_SET_16BIT_LIMIT && message->FindBool("LM", &on) == B_OK)
            noted = std::string("LM ") + (on ? "1" : "0");
        std::lock_guard guard(lock);
        sent.push_back(noted);
    }

    std::vector<std::string> Sent()
    {
        std::lock_guard guard(lock);
        return sent;
    }

private:
    std::mutex lock;
    // Guarded by lock.
    std::vector<std::string> sent;
};

// The controls of the General page in the order of its table.
constexpr const char* GENERAL_CONTROLS[] = {"chkDblRefresh", "chkAdaptSync", "chkTweakMode",
    "rdoModeDefault", "rdoMode640480", "rdoMode800600", "rdoMode1024768", "chkSubContrast",
    "chk16bitMax", "rdoDInone", "rdoDIsingle", "rdoDIdouble"};
// Their values at the first start, grouped by full-screen check boxes, resolutions, signal
// check boxes and de-interlace modes.
constexpr const char* DEFAULTS = "111 1000 01 100";

// A preferences window over the test card and, when a test registers one, a mixer as the audio
// output.
class PreferencesTest : public test_support::MediaRosterTest {
protected:
    void SetUp() override
    {
        MediaRosterTest::SetUp();
        application = std::make_unique<BApplication>("application/x-vnd.Quarnet.Ovelin-test");
        test_support::RegisterTestCard();
    }

    void TearDown() override
    {
        Close();
        if (main != nullptr)
            interface_test::QuitWindow(main);
        application.reset();
        MediaRosterTest::TearDown();
    }

    // Quits the window as the application does at its end, which saves the settings.
    void Close()
    {
        if (preferences != nullptr && preferences->Lock())
            preferences->Quit();
        preferences = nullptr;
    }

    // Makes the window over the settings file holding bytes (none when null), for a running
    // main window.
    void Open(const std::string* bytes)
    {
        if (bytes != nullptr)
            test_support::WriteBytes(SETTINGS_PATH, *bytes);
        if (main == nullptr)
            main = static_cast<MainWindowDouble*>(interface_test::Shown(new MainWindowDouble));
        preferences = new Preferences(main);
    }

    // The values of the General page's controls, as in DEFAULTS.
    std::string State()
    {
        return interface_test::Locked(preferences, [&] {
            std::string state;
            for (const char* name : GENERAL_CONTROLS) {
                if (!state.empty()
                    && (name == std::string("rdoModeDefault")
                        || name == std::string("chkSubContrast")
                        || name == std::string("rdoDInone")))
                    state += ' ';
                state += std::to_string(
                    static_cast<BControl*>(preferences->FindView(name))->Value());
            }
            return state;
        });
    }

    // Clicks the middle of the left end of a control of the page, where its box or button is.
    void Click(const char* name)
    {
        const BPoint where = interface_test::Locked(preferences, [&] {
            const BView* view = preferences->FindView(name);
            return view->ConvertToScreen(BPoint(5, std::floor(view->Bounds().Height() / 2)))
                - preferences->Frame().LeftTop();
        });
        for (uint32 what : {B_MOUSE_DOWN, B_MOUSE_UP}) {
            BMessage mouse = interface_test::Mouse(what, where, what == B_MOUSE_DOWN ? 1 : 0);
            ASSERT_EQ(preferences->PostMessage(&mouse), B_OK);
        }
    }

    // What the main window has been sent since the last call, once a click on "chk16bitMax",
    // whose own message comes after everything posted before it, has arrived; that message is
    // left out.
    std::vector<std::string> Sent()
    {
        const std::string mark = interface_test::Locked(preferences, [&] {
            return static_cast<BControl*>(preferences->FindView("chk16bitMax"))->Value() != 0
                ? "LM 0"
                : "LM 1";
        });
        Click("chk16bitMax");
        std::vector<std::string> sent;
        if (!test_support::Await([&] {
                sent = main->Sent();
                return sent.size() > seen && sent.back() == mark;
            })) {
            return {"no " + mark};
        }
        const std::vector<std::string> since(sent.begin() + ptrdiff_t(seen), sent.end() - 1);
        seen = sent.size();
        return since;
    }

    void RegisterMixer(std::vector<std::string> sources)
    {
        ASSERT_EQ(media_register_default_node(
                      MEDIA_DEFAULT_AUDIO_OUTPUT,
                      [this, sources] {
                          return static_cast<BMediaNode*>(mixer = new TestMixerNode(sources));
                      },
                      0),
            B_OK);
    }

    std::unique_ptr<BApplication> application;
    MainWindowDouble* main = nullptr;
    // How many of the main window's messages Sent() has given.
    size_t seen = 0;
    Preferences* preferences = nullptr;
    TestMixerNode* mixer = nullptr;
};

TEST_F(PreferencesTest, StepsMoveTheCardByFiveAndTheLineVolumeByFourAndReturnPerCentOfTheRange)
{
    RegisterMixer({"Master", "Line", "Line 2"});
    preferences = new Preferences(nullptr);
    ASSERT_NE(mixer, nullptr);
    // Brightness runs from -128 to 127 and starts at 0; contrast and saturation from 0 to 200,
    // starting at 100; the volume from -60 to 20 dB, starting at -20. Steps stop at the ends.
    const struct {
        int32 (Preferences::*step)();
        int32 times;
        int32 percent;
        const char* control;
        float value;
    } steps[] = {
        {&Preferences::BrightnessUp, 1, 52, "Brightness", 5},
        {&Preferences::BrightnessDown, 1, 50, "Brightness", 0},
        {&Preferences::BrightnessDown, 1, 48, "Brightness", -5},
        {&Preferences::ContrastUp, 1, 52, "Contrast", 105},
        {&Preferences::ContrastDown, 1, 50, "Contrast", 100},
        {&Preferences::SaturationDown, 1, 47, "Saturation", 95},
        {&Preferences::SaturationUp, 1, 50, "Saturation", 100},
        {&Preferences::BrightnessUp, 40, 100, "Brightness", float(devices::BRIGHTNESS_MAX)},
        {&Preferences::BrightnessDown, 60, 0, "Brightness", float(devices::BRIGHTNESS_MIN)},
        {&Preferences::VolumeUp, 1, 55, "Line", -16},
        {&Preferences::VolumeDown, 1, 50, "Line", -20},
        {&Preferences::VolumeDown, 1, 45, "Line", -24},
        {&Preferences::VolumeDown, 20, 0, "Line", -60},
    };
    for (size_t i = 0; i < std::size(steps); i++) {
        SCOPED_TRACE("step " + std::to_string(i));
        int32 percent = -1;
        for (int32 time = 0; time < steps[i].times; time++)
            percent = (preferences->*steps[i].step)();
        EXPECT_EQ(percent, steps[i].percent);
        if (std::string(steps[i].control) == "Line")
            EXPECT_EQ(mixer->Volume("Line"), std::vector<float>(2, steps[i].value));
        else
            EXPECT_EQ(CardValue<float>(steps[i].control), steps[i].value);
    }
    EXPECT_EQ(mixer->Volume("Master"), (std::vector<float>{-20, -20}));
    EXPECT_EQ(mixer->Volume("Line 2"), (std::vector<float>{-20, -20}));
}

TEST_F(PreferencesTest, MissingControlsGiveZeroAndChangeNothing)
{
    // A mixer without a line source has no volume to step.
    RegisterMixer({"Master", "Microphone"});
    preferences = new Preferences(nullptr);
    EXPECT_EQ(preferences->VolumeUp(), 0);
    EXPECT_EQ(mixer->Volume("Master"), (std::vector<float>{-20, -20}));
    Close();

    // Without a media service nothing is bound at all.
    kits::media::SetMediaServerRunning(false);
    preferences = new Preferences(nullptr);
    EXPECT_EQ(preferences->VolumeUp(), 0);
    EXPECT_EQ(preferences->BrightnessUp(), 0);
    EXPECT_EQ(preferences->ContrastDown(), 0);
    EXPECT_EQ(preferences->SaturationUp(), 0);
    kits::media::SetMediaServerRunning(true);
    EXPECT_EQ(CardValue<float>("Brightness"), 0.0f);
}

TEST_F(PreferencesTest, AFirstStartHasTheDefaultsSendsNothingAndSavesThemWhereTheMainWindowIs)
{
    Open(nullptr);
    EXPECT_EQ(State(), DEFAULTS);
    // Each look at what was sent toggles the 16-bit limit; the second puts it back.
    EXPECT_EQ(Sent(), std::vector<std::string>{});
    EXPECT_EQ(Sent(), std::vector<std::string>{});
    Close();
    EXPECT_EQ(ReadBytes(SETTINGS_PATH), GoldenBytes("prefs/defaults.msg"));
}

TEST_F(PreferencesTest, TheSettingsFileSetsTheControlsAndTheMainWindowAndIsSavedBackByteForByte)
{
    const std::string golden = GoldenBytes("prefs/settings.msg");
    ASSERT_FALSE(golden.empty());
    Open(&golden);
    EXPECT_EQ(State(), "010 0010 10 010");
    EXPECT_EQ(
        interface_test::Locked(main, [&] { return main->Frame().LeftTop(); }), BPoint(120, 80));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"SF 1", "DI 1", "LM 0"}));
    EXPECT_EQ(preferences->GetDblRefresh(), false);
    EXPECT_EQ(preferences->GetAdaptSync(), true);
    EXPECT_EQ(preferences->GetTweakMode(), false);
    EXPECT_EQ(preferences->GetResolution(), 2);
    EXPECT_EQ(Sent(), std::vector<std::string>{});
    Close();
    EXPECT_EQ(ReadBytes(SETTINGS_PATH), golden);
    EXPECT_EQ(ReadBytes(DAMAGED_SETTINGS_PATH), "");

    // A save that cannot make its file beside the old one (a full disk, say) leaves it whole.
    std::filesystem::create_directories(
        kits::storage::HostPath(std::string(SETTINGS_PATH) + ".saving/in the way"));
    Open(nullptr);
    Click("rdoMode640480");
    EXPECT_EQ(Sent(), (std::vector<std::string>{"SF 1", "DI 1", "LM 0"}));
    Close();
    EXPECT_EQ(ReadBytes(SETTINGS_PATH), golden);
}

TEST_F(PreferencesTest, ClicksChooseWithinEachGroupAndSendTheSignalOptionsAsTheyStand)
{
    Open(nullptr);
    // One at a time: a command sends the state when it is handled, after the clicks queued.
    const std::pair<const char*, std::vector<std::string>> clicks[] = {{"rdoDIsingle", {"DI 1"}},
        {"rdoDIdouble", {"DI 2"}}, {"chkSubContrast", {"SF 1"}}, {"chkSubContrast", {"SF 0"}},
        // The full-screen options send nothing: the main window asks for them.
        {"rdoMode1024768", {}}, {"chkTweakMode", {}}};
    for (const auto& [name, sent] : clicks) {
        Click(name);
        EXPECT_EQ(Sent(), sent) << name;
    }
    EXPECT_EQ(State(), "110 0001 01 001");
    EXPECT_EQ(preferences->GetResolution(), 3);
    EXPECT_EQ(preferences->GetDeInterlace(), 2);
    EXPECT_EQ(preferences->GetSubtitleFtr(), false);
    EXPECT_EQ(preferences->GetTweakMode(), false);
    // Closing twice only hides the window, which one Show() brings back.
    const auto locked = [&](auto call) { return interface_test::Locked(preferences, call); };
    locked([&] { preferences->Show(); });
    EXPECT_FALSE(locked([&] { return preferences->QuitRequested(); }));
    EXPECT_FALSE(locked([&] { return preferences->QuitRequested(); }));
    EXPECT_TRUE(locked([&] { return preferences->IsHidden(); }));
    locked([&] { preferences->Show(); });
    EXPECT_FALSE(locked([&] { return preferences->IsHidden(); }));
}

TEST_F(PreferencesTest, KeysOfAnotherTypeOrOutOfRangeAreSkippedAndTheRestApplies)
{
    BMessage nowhere(SETTINGS_COMMAND);
    (void)nowhere.AddPoint("window_pos", BPoint(std::nanf(""), 10));
    const struct {
        BMessage file;
        const char* state;
        std::vector<std::string> sent;
    } cases[] = {
        // De-interlacing is sent whatever the value was.
        {With('CNLS', "rdoResolution", 7, "rdoDeInterlace", 5), DEFAULTS, {"DI 0"}},
        {With('CNLS', "chkDblRefresh", 0, "rdoResolution", true, "rdoDeInterlace", "1",
             "chkAdaptSync", false),
            "101 1000 01 100", {}},
        {With('CNLS', "chk16bitMax", false), "111 1000 00 100", {"LM 0"}},
        {nowhere, DEFAULTS, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        const std::string bytes = test_support::Flat(c.file);
        Open(&bytes);
        EXPECT_EQ(State(), c.state);
        EXPECT_EQ(Sent(), c.sent);
        Close();
        EXPECT_EQ(ReadBytes(DAMAGED_SETTINGS_PATH), "");
    }
    // The point that is no number left the main window where it was.
    EXPECT_EQ(
        interface_test::Locked(main, [&] { return main->Frame().LeftTop(); }), BPoint(30, 40));
}

TEST_F(PreferencesTest, DamagedOrForeignFilesGiveTheDefaultsAndAreKeptAsideBeforeTheSave)
{
    const std::string good = GoldenBytes("prefs/settings.msg");
    std::string badTag = good;
    badTag[0] = 'X';
    std::string pastTheEnd = good;
    // The data size of "chkDblRefresh".
    pastTheEnd[22] = char(0xF0);
    const std::string cases[] = {good.substr(0, 1), good.substr(0, 17), good.substr(0, 40),
        good.substr(0, good.size() - 1), badTag, pastTheEnd, "not a message",
        test_support::Flat(With('CNLS', "Channel", 7, "Name", "E7"))};
    for (const std::string& bad : cases) {
        SCOPED_TRACE(bad.size());
        Open(&bad);
        EXPECT_EQ(State(), DEFAULTS);
        EXPECT_EQ(Sent(), std::vector<std::string>{});
        EXPECT_EQ(Sent(), std::vector<std::string>{});
        Close();
        EXPECT_EQ(ReadBytes(DAMAGED_SETTINGS_PATH), bad);
        EXPECT_EQ(ReadBytes(SETTINGS_PATH), GoldenBytes("prefs/defaults.msg"));
    }
}

}
