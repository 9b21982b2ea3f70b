#include "prefs/Preferences.h"

#include "tests/prefs/PreferencesFixture.h"
#include "tests/support/LoopHandler.h"
#include "tests/support/MessageWith.h"
#include "video/NodeManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using test_support::GoldenBytes;
using test_support::ReadBytes;
using test_support::With;
using Sent = std::vector<std::string>;

// The controls of the General page in the order of its table.
constexpr const char* GENERAL_CONTROLS[] = {"chkDblRefresh", "chkAdaptSync", "chkTweakMode",
    "rdoModeDefault", "rdoMode640480", "rdoMode800600", "rdoMode1024768", "chkSubContrast",
    "chk16bitMax", "rdoDInone", "rdoDIsingle", "rdoDIdouble", "rdoDImotion"};
// Their values at the first start, grouped by full-screen check boxes, resolutions, signal
// check boxes and de-interlace modes.
constexpr const char* DEFAULTS = "111 1000 01 1000";

class GeneralPageTest : public prefs_test::PreferencesTest {
protected:
    // The values of the General page's controls, as in DEFAULTS.
    std::string State()
    {
        return Locked([&] {
            std::string state;
            for (const char* name : GENERAL_CONTROLS) {
                const std::string control = name;
                if (control == "rdoModeDefault" || control == "chkSubContrast"
                    || control == "rdoDInone")
                    state += ' ';
                state += std::to_string(Control(name)->Value());
            }
            return state;
        });
    }

    // What the main window has been sent since the last call.
    Sent SentSince()
    {
        Settle();
        test_support::Settle(main);
        const Sent sent = main->Sent();
        const Sent since(sent.begin() + ptrdiff_t(seen), sent.end());
        seen = sent.size();
        return since;
    }

    BPoint MainWindowAt()
    {
        return interface_test::Locked(main, [&] { return main->Frame().LeftTop(); });
    }

    size_t seen = 0;
};

TEST_F(GeneralPageTest, TheSettingsFileSetsTheControlsAndTheMainWindowAndIsSavedBackByteForByte)
{
    const std::string golden = GoldenBytes("prefs/settings.msg");
    ASSERT_FALSE(golden.empty());
    Open(&golden);
    EXPECT_EQ(State(), "010 0010 10 0100");
    EXPECT_EQ(MainWindowAt(), BPoint(120, 80));
    EXPECT_EQ(SentSince(), (Sent{"SF 1", "DI 1", "LM 0"}));
    EXPECT_EQ(preferences->GetDblRefresh(), false);
    EXPECT_EQ(preferences->GetAdaptSync(), true);
    EXPECT_EQ(preferences->GetTweakMode(), false);
    EXPECT_EQ(preferences->GetResolution(), 2);
    Close();
    EXPECT_EQ(ReadBytes(SETTINGS_PATH), golden);
    EXPECT_EQ(ReadBytes(DAMAGED_SETTINGS_PATH), "");

    // A save that cannot make its file beside the old one (a full disk, say) leaves it whole.
    std::filesystem::create_directories(
        kits::storage::HostPath(std::string(SETTINGS_PATH) + ".saving/in the way"));
    Open(nullptr);
    Release("rdoMode640480", 1);
    Close();
    EXPECT_EQ(ReadBytes(SETTINGS_PATH), golden);
}

TEST_F(GeneralPageTest, ChoicesStayWithinEachGroupAndSendTheSignalOptionsAsTheyStand)
{
    Open(nullptr);
    // One at a time: a command sends the state when it is handled, not when it was posted.
    const std::pair<const char*, Sent> choices[]
        = {{"rdoDIsingle", {"DI 1"}}, {"rdoDIdouble", {"DI 2"}}, {"rdoDImotion", {"DI 3"}},
            {"chkSubContrast", {"SF 1"}}, {"chk16bitMax", {"LM 0"}},
            // The full-screen options send nothing: the main window asks for them.
            {"rdoMode1024768", {}}, {"chkTweakMode", {}}};
    for (const auto& [name, sent] : choices) {
        Release(name, Locked([&] { return !Control(name)->Value(); }));
        EXPECT_EQ(SentSince(), sent) << name;
    }
    EXPECT_EQ(State(), "110 0001 10 0001");
    EXPECT_EQ(preferences->GetResolution(), 3);
    EXPECT_EQ(preferences->GetDeInterlace(), DEINTERLACE_MOTION_ADAPTIVE);
    EXPECT_EQ(preferences->GetSubtitleFtr(), true);
    // Closing twice only hides the window, which one Show() brings back.
    Locked([&] {
        preferences->Show();
        EXPECT_FALSE(preferences->QuitRequested());
        EXPECT_FALSE(preferences->QuitRequested());
        EXPECT_TRUE(preferences->IsHidden());
        preferences->Show();
        EXPECT_FALSE(preferences->IsHidden());
    });
}

TEST_F(GeneralPageTest, KeysOfAnotherTypeOrOutOfRangeAreSkippedAndTheRestApplies)
{
    BMessage nowhere(SETTINGS_COMMAND);
    (void)nowhere.AddPoint("window_pos", BPoint(std::nanf(""), 10));
    const struct {
        BMessage file;
        const char* state;
        Sent sent;
    } cases[] = {
        // De-interlacing is sent whatever the value was.
        {With('CNLS', "rdoResolution", 7, "rdoDeInterlace", 4), DEFAULTS, {"DI 0"}},
        {With('CNLS', "rdoDeInterlace", 3), "111 1000 01 0001", {"DI 3"}},
        {With('CNLS', "chkDblRefresh", 0, "rdoResolution", true, "rdoDeInterlace", "1",
             "chkAdaptSync", false),
            "101 1000 01 1000", {}},
        {With('CNLS', "chk16bitMax", false), "111 1000 00 1000", {"LM 0"}},
        // Without an audio output the source is read without effect.
        {With('CNLS', "mnfSource", 1), DEFAULTS, {}},
        {nowhere, DEFAULTS, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        const std::string bytes = test_support::Flat(c.file);
        Open(&bytes);
        EXPECT_EQ(State(), c.state);
        EXPECT_EQ(SentSince(), c.sent);
        Close();
        EXPECT_EQ(ReadBytes(DAMAGED_SETTINGS_PATH), "");
    }
    // The point that is no number left the main window where it was.
    EXPECT_EQ(MainWindowAt(), BPoint(30, 40));
}

TEST_F(GeneralPageTest, AMissingDamagedOrForeignFileGivesTheDefaultsAndTheBadOneIsKeptAside)
{
    const std::string good = GoldenBytes("prefs/settings.msg");
    std::string badTag = good;
    badTag[0] = 'X';
    std::string pastTheEnd = good;
    // The data size of "chkDblRefresh".
    pastTheEnd[22] = char(0xF0);
    // No file first, as at the first start, whose defaults are saved where the main window is.
    const std::optional<std::string> cases[] = {std::nullopt, good.substr(0, 1),
        good.substr(0, 17), good.substr(0, 40), good.substr(0, good.size() - 1), badTag,
        pastTheEnd, "not a message", test_support::Flat(With('CNLS', "Channel", 7, "Name", "E7"))};
    for (const std::optional<std::string>& bad : cases) {
        SCOPED_TRACE(bad ? std::to_string(bad->size()) + " bytes" : "no file");
        Open(bad ? &*bad : nullptr);
        // Without an audio output there are no media pages.
        EXPECT_EQ(Pages(), 1);
        EXPECT_EQ(State(), DEFAULTS);
        EXPECT_EQ(SentSince(), Sent{});
        Close();
        EXPECT_EQ(ReadBytes(DAMAGED_SETTINGS_PATH), bad.value_or(""));
        EXPECT_EQ(ReadBytes(SETTINGS_PATH), GoldenBytes("prefs/defaults.msg"));
    }
}

}
