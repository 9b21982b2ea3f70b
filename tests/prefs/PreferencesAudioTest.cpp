#include "prefs/Preferences.h"

#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "tests/prefs/PreferencesFixture.h"
#include "tests/support/MessageWith.h"
#include "tests/window/TVWindowFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <optional>

namespace {

using prefs_test::WebParameter;
using test_support::Await;
using test_support::TestMixerNode;
using Volumes = std::vector<float>;

class AudioPageTest : public prefs_test::PreferencesTest {
protected:
    BMenu* SourceMenu()
    {
        return static_cast<BMenuField*>(preferences->FindView("SourceCombo"))->Menu();
    }

    // The source menu's labels, the marked one in brackets.
    std::string Sources()
    {
        return Locked<std::string>([&] {
            std::string labels;
            for (int32 i = 0; i < SourceMenu()->CountItems(); i++) {
                const BMenuItem* item = SourceMenu()->ItemAt(i);
                const std::string label = item->Label();
                labels += (i > 0 ? " " : "") + (item->IsMarked() ? "[" + label + "]" : label);
            }
            return labels;
        });
    }

    // The volume slider's position, or -1 while it is disabled.
    int32 Volume()
    {
        return Locked<int32>([&] {
            return Control("sldVolume")->IsEnabled() ? Control("sldVolume")->Value() : -1;
        });
    }
};

TEST_F(AudioPageTest, TheLineSourceIsBoundUnlessTheSettingsChooseAnotherAndTheChoiceIsSaved)
{
    const struct {
        std::vector<std::string> sources;
        std::optional<int32> stored;
        const char* menu;
        std::string bound;
        int32 saved;
    } cases[] = {
        {{"Master", "Line", "CD"}, {}, "Master [Line] CD", "Line", 1},
        // Beyond the sources: the line stays marked and bound.
        {{"Master", "Line", "CD"}, 7, "Master [Line] CD", "Line", 1},
        {{"Master", "Line", "CD"}, 2, "Master Line [CD]", "CD", 2},
        // Without a line nothing is marked and the slider waits for a choice.
        {{"Master", "CD"}, {}, "Master CD", "", -1},
        {{"Master", "CD"}, 0, "[Master] CD", "Master", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.menu);
        kits::media::ResetDefaultNodes();
        test_support::RegisterTestCard();
        Register(MEDIA_DEFAULT_AUDIO_OUTPUT, mixer, c.sources);
        const std::string bytes = c.stored
            ? test_support::Flat(test_support::With('CNLS', "mnfSource", *c.stored))
            : "";
        Open(&bytes);
        // The source posted by the settings is bound before the test looks.
        Settle();
        EXPECT_EQ(Pages(), "General Audio Video");
        EXPECT_EQ(Sources(), c.menu);
        EXPECT_EQ(Volume(), c.bound.empty() ? -1 : 50);
        EXPECT_EQ(preferences->VolumeUp(), c.bound.empty() ? 0 : 55);
        Settle();
        for (const std::string& source : c.sources) {
            EXPECT_EQ(mixer->Volume(source), (Volumes(2, source == c.bound ? -16 : -20)))
                << source;
        }
        Close();
        const std::string file = test_support::ReadBytes(SETTINGS_PATH);
        BMessage saved;
        ASSERT_EQ(saved.Unflatten(file.data(), file.size()), B_OK);
        int32 index = -2;
        EXPECT_EQ(saved.FindInt32("mnfSource", &index), B_OK);
        EXPECT_EQ(index, c.saved);
    }
}

TEST_F(AudioPageTest, TheSliderSpansTheVolumesRangeAndStepsStopAtItsEnds)
{
    Register(MEDIA_DEFAULT_AUDIO_OUTPUT, mixer, std::vector<std::string>{"Line"});
    Open(nullptr);
    // -20 on -60 to 20 dB.
    EXPECT_EQ(Volume(), 50);
    Release("sldVolume", 75);
    Settle();
    EXPECT_EQ(mixer->Volume("Line"), (Volumes{0, 0}));
    Move("sldVolume", 98);
    EXPECT_EQ(preferences->VolumeUp(), 100);
    Move("sldVolume", 3);
    EXPECT_EQ(preferences->VolumeDown(), 0);
    Settle();
    EXPECT_EQ(mixer->Volume("Line"), (Volumes{-60, -60}));
}

TEST_F(AudioPageTest, TheSliderShowsTheMeanOfTheChannelsAndASourceWithoutVolumeKeepsTheBinding)
{
    prefs_test::WebNode* node = nullptr;
    Register(MEDIA_DEFAULT_AUDIO_OUTPUT, node,
        std::vector<WebParameter>{
            {"Output/Line", "Volume", true, 0, 2, {0, 1}}, {"Output/Aux", ""}});
    Open(nullptr);
    EXPECT_EQ(Volume(), 25);
    EXPECT_EQ(Locked<status_t>([&] {
        SourceMenu()->ItemAt(1)->SetMarked(true);
        return SourceMenu()->ItemAt(1)->Invoke();
    }),
        B_OK);
    Settle();
    EXPECT_EQ(Sources(), "Line [Aux]");
    Release("sldVolume", 50);
    Settle();
    EXPECT_EQ(node->Writes(), std::vector<std::string>{"Volume: 1 1"});
}

// Holds a window's thread, without its lock, from Hold() until Release() or the gate's end.
class Gate {
public:
    explicit Gate(BWindow* window)
        : window(window),
          handler(window, [this] { Wait(); })
    {
    }
    ~Gate() { Release(); }

    void Hold()
    {
        ASSERT_EQ(window->PostMessage('hold', &handler), B_OK);
        ASSERT_TRUE(Await([&] {
            std::lock_guard guard(lock);
            return held;
        }));
    }

    void Release()
    {
        std::unique_lock guard(lock);
        released = true;
        changed.notify_all();
        if (held) {
            guard.unlock();
            EXPECT_TRUE(Await([&] { return handler.ran > 0; }));
        }
    }

private:
    void Wait()
    {
        window->Unlock();
        {
            std::unique_lock guard(lock);
            held = true;
            changed.notify_all();
            changed.wait_for(guard, std::chrono::seconds(10), [&] { return released; });
        }
        window->Lock();
    }

    BWindow* window;
    std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    bool held = false;
    bool released = false;
    prefs_test::LoopHandler handler;
};

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
    Gate gate(preferences);
    gate.Hold();

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
    // The main window's thread has not written the volume.
    EXPECT_EQ(mixer->Volume("Line"), (Volumes{-20, -20}));
    gate.Release();
    EXPECT_TRUE(Await([&] { return mixer->Volume("Line") == Volumes{-16, -16}; }));
}

}
