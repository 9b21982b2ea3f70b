#include "prefs/Preferences.h"

#include "devices/PictureControls.h"
#include "kits/app/Application.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/MixerNode.h"
#include "tests/support/TestCard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using test_support::CardValue;
using test_support::TestMixerNode;

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
        application.reset();
        MediaRosterTest::TearDown();
    }

    void Close()
    {
        if (preferences != nullptr && preferences->Lock())
            preferences->Quit();
        preferences = nullptr;
    }

    void RegisterMixer(std::vector<std::string> sources)
    {
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, [this, sources] {
            return static_cast<BMediaNode*>(mixer = new TestMixerNode(sources));
        }, 0), B_OK);
    }

    std::unique_ptr<BApplication> application;
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

}
