#include "prefs/Preferences.h"

#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "tests/prefs/PreferencesFixture.h"
#include "tests/support/Await.h"
#include "tests/support/LoopHandler.h"
#include "tests/support/MessageWith.h"
#include "tests/support/WebNode.h"
#include "tests/window/TVWindowFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <tuple>

namespace {

using test_support::Await;
using test_support::TestMixerNode;
using Volumes = std::vector<float>;

class AudioPageTest : public prefs_test::PreferencesTest {
protected:
    BMenu* Sources()
    {
        return static_cast<BMenuField*>(preferences->FindView("SourceCombo"))->Menu();
    }

    // The source menu's labels, the marked one in brackets, and the volume slider's position
    // ("x" while it is disabled).
    std::string Page()
    {
        return Locked([&] {
            std::string page;
            for (int32 i = 0; i < Sources()->CountItems(); i++) {
                const std::string label = Sources()->ItemAt(i)->Label();
                page += Sources()->ItemAt(i)->IsMarked() ? "[" + label + "] " : label + " ";
            }
            BControl* volume = Control("sldVolume");
            return page + (volume->IsEnabled() ? std::to_string(volume->Value()) : "x");
        });
    }

    // Chooses a source as the user does.
    void Choose(int32 source)
    {
        EXPECT_EQ(Locked([&] {
            Sources()->ItemAt(source)->SetMarked(true);
            return Sources()->ItemAt(source)->Invoke();
        }),
            B_OK);
    }
};

TEST_F(AudioPageTest, TheLineSourceIsBoundUnlessTheSettingsChooseAnotherAndTheChoiceIsSaved)
{
    const struct {
        std::vector<std::string> sources;
        std::optional<int32> stored;
        const char* page;
        std::string bound;
        int32 saved;
    } cases[] = {
        // -20 on -60 to 20 dB is half way.
        {{"Master", "Line", "CD"}, {}, "Master [Line] CD 50", "Line", 1},
        // Beyond the sources: the line stays marked and bound.
        {{"Master", "Line", "CD"}, 7, "Master [Line] CD 50", "Line", 1},
        {{"Master", "Line", "CD"}, 2, "Master Line [CD] 50", "CD", 2},
        // Without a line nothing is marked and the slider waits for a choice.
        {{"Master", "CD"}, {}, "Master CD x", "", -1},
        {{"Master", "CD"}, 0, "[Master] CD 50", "Master", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        kits::media::ResetDefaultNodes();
        test_support::RegisterTestCard();
        Register(MEDIA_DEFAULT_AUDIO_OUTPUT, mixer, c.sources);
        const std::string bytes = c.stored
            ? test_support::Flat(test_support::With('CNLS', "mnfSource", *c.stored))
            : "";
        Open(&bytes);
        // The source the settings posted is bound before the test looks.
        Settle();
        EXPECT_EQ(Pages(), 3);
        EXPECT_EQ(Page(), c.page);
        EXPECT_EQ(preferences->VolumeUp(), c.bound.empty() ? 0 : 55);
        Settle();
        for (const std::string& source : c.sources)
            EXPECT_EQ(mixer->Volume(source), Volumes(2, source == c.bound ? -16 : -20)) << source;
        Close();
        const std::string file = test_support::ReadBytes(SETTINGS_PATH);
        BMessage saved;
        int32 index = -2;
        ASSERT_EQ(saved.Unflatten(file.data(), file.size()), B_OK);
        EXPECT_EQ(saved.FindInt32("mnfSource", &index), B_OK);
        EXPECT_EQ(index, c.saved);
    }
}

TEST_F(AudioPageTest, TheSliderSpansTheVolumesRangeOnEveryChannelAndStepsStopAtItsEnds)
{
    Register(MEDIA_DEFAULT_AUDIO_OUTPUT, mixer, std::vector<std::string>{"Line"});
    Open(nullptr);
    Release("sldVolume", 75);
    Settle();
    EXPECT_EQ(mixer->Volume("Line"), (Volumes{0, 0}));
    Move("sldVolume", 98);
    EXPECT_EQ(preferences->VolumeUp(), 100);
    Move("sldVolume", 3);
    EXPECT_EQ(preferences->VolumeDown(), 0);
    Settle();
    EXPECT_EQ(mixer->Volume("Line"), (Volumes{-60, -60}));
    Close();

    // The mean of the channels shows; a source without a volume keeps the one bound before; a
    // mono volume is read and written as its one channel.
    kits::media::ResetDefaultNodes();
    test_support::RegisterTestCard();
    test_support::WebNode* node = nullptr;
    Register(MEDIA_DEFAULT_AUDIO_OUTPUT, node,
        std::vector<test_support::WebParameter>{{"Output/Line", "Volume", true, 0, 2, {0, 1}},
            {"Output/Aux", ""}, {"Output/Mono", "Volume", true, 0, 1, {0.5f}}});
    Open(nullptr);
    EXPECT_EQ(Page(), "[Line] Aux Mono 25");
    const std::tuple<int32, const char*, const char*> choices[]
        = {{1, "Line [Aux] Mono 25", "Volume: 1 1"}, {2, "Line Aux [Mono] 50", "Volume: 1"}};
    for (const auto& [source, page, written] : choices) {
        Choose(source);
        Settle();
        EXPECT_EQ(Page(), page);
        Release("sldVolume", 50 * source);
        Settle();
        EXPECT_EQ(node->Writes().back(), written);
    }
}

// The main window over the test card, with a mixer as the audio output.
class MainWindowVolumeTest : public TVWindowTest {};

TEST_F(MainWindowVolumeTest, TheVolumeKeyMovesTheSliderWhoseCommandWritesTheVolumeOnItsOwnThread)
{
    TestMixerNode* mixer = nullptr;
    ASSERT_EQ(
        media_register_default_node(
            MEDIA_DEFAULT_AUDIO_OUTPUT,
            [&] { return static_cast<BMediaNode*>(mixer = new TestMixerNode({"Line"})); }, 0),
        B_OK);
    MakeWindow();
    Preferences* preferences = window->PreferencesWindow();
    RunWindow();
    // Holds the preferences' thread, without its lock, until released (or the promise's end).
    std::promise<void> held;
    std::promise<void> release;
    test_support::LoopHandler gate(
        preferences, [&held, preferences, released = release.get_future().share()] {
            preferences->Unlock();
            held.set_value();
            released.wait_for(std::chrono::seconds(10));
            preferences->Lock();
        });
    ASSERT_EQ(preferences->PostMessage('hold', &gate), B_OK);
    ASSERT_EQ(held.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);

    BMessage up = interface_test::Key("\x1e");
    ASSERT_EQ(window->PostMessage(&up), B_OK);
    EXPECT_TRUE(AwaitWindow([&] {
        return !SliderOverlay()->IsHidden() && SliderOverlay()->Label() == "Volume:"
            && SliderOverlay()->Value() == 55;
    }));
    EXPECT_EQ(
        interface_test::Locked(preferences,
            [&] { return dynamic_cast<BControl*>(preferences->FindView("sldVolume"))->Value(); }),
        55);
    // Not written by the main window's thread.
    EXPECT_EQ(mixer->Volume("Line"), (Volumes{-20, -20}));
    release.set_value();
    EXPECT_TRUE(Await([&] { return mixer->Volume("Line") == Volumes{-16, -16}; }));
}

}
