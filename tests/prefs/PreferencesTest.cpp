#include "prefs/Preferences.h"

#include "devices/PictureControls.h"
#include "devices/TestCardNode.h"
#include "kits/app/Application.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/Parameter.h"
#include "kits/media/ParameterWeb.h"
#include "tests/prefs/TestMixerNode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

// A hidden preferences window over the test card and, when a test registers one, a mixer as
// the audio output.
class PreferencesTest : public testing::Test {
protected:
    void SetUp() override
    {
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
        application = std::make_unique<BApplication>("application/x-vnd.Quarnet.Ovelin-test");
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
            [] { return static_cast<BMediaNode*>(new devices::TestCardNode()); }, 0), B_OK);
    }

    void TearDown() override
    {
        if (preferences != nullptr) {
            preferences->Lock();
            preferences->Quit();
        }
        application.reset();
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }

    void RegisterMixer(std::vector<std::string> sources)
    {
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT,
            [this, sources] {
                mixer = new TestMixerNode(sources);
                return static_cast<BMediaNode*>(mixer);
            }, 0), B_OK);
    }

    // The card's picture parameter named name, as the card holds it now.
    static float CardValue(const char* name)
    {
        BMediaRoster* roster = BMediaRoster::Roster();
        media_node input;
        BParameterWeb* web = nullptr;
        if (roster == nullptr || roster->GetVideoInput(&input) != B_OK
            || roster->GetParameterWebFor(input, &web) != B_OK || web == nullptr) {
            return -1000;
        }
        (void)roster->ReleaseNode(input);
        for (int32 i = 0; i < web->CountParameters(); i++) {
            BParameter* parameter = web->ParameterAt(i);
            if (std::strcmp(parameter->Name(), name) != 0)
                continue;
            float value = 0;
            size_t size = sizeof(value);
            return parameter->GetValue(&value, &size, nullptr) == B_OK ? value : -1000;
        }
        return -1000;
    }

    std::unique_ptr<BApplication> application;
    Preferences* preferences = nullptr;
    TestMixerNode* mixer = nullptr;
};

TEST_F(PreferencesTest, PictureStepsMoveTheCardByFiveWithinItsRangeAndReturnPerCentOfIt)
{
    preferences = new Preferences(nullptr);
    // Brightness runs from -128 to 127 and starts at 0.
    EXPECT_EQ(preferences->BrightnessUp(), 52);
    EXPECT_FLOAT_EQ(CardValue("Brightness"), 5);
    EXPECT_EQ(preferences->BrightnessDown(), 50);
    EXPECT_EQ(preferences->BrightnessDown(), 48);
    EXPECT_FLOAT_EQ(CardValue("Brightness"), -5);
    // Contrast and saturation run from 0 to 200 and start at 100.
    EXPECT_EQ(preferences->ContrastUp(), 52);
    EXPECT_FLOAT_EQ(CardValue("Contrast"), 105);
    EXPECT_EQ(preferences->ContrastDown(), 50);
    EXPECT_EQ(preferences->SaturationDown(), 47);
    EXPECT_FLOAT_EQ(CardValue("Saturation"), 95);
    EXPECT_EQ(preferences->SaturationUp(), 50);
    EXPECT_FLOAT_EQ(CardValue("Saturation"), 100);
    // Steps stop at the ends of the range.
    for (int32 i = 0; i < 30; i++)
        (void)preferences->BrightnessUp();
    EXPECT_EQ(preferences->BrightnessUp(), 100);
    EXPECT_FLOAT_EQ(CardValue("Brightness"), devices::BRIGHTNESS_MAX);
    for (int32 i = 0; i < 60; i++)
        (void)preferences->BrightnessDown();
    EXPECT_EQ(preferences->BrightnessDown(), 0);
    EXPECT_FLOAT_EQ(CardValue("Brightness"), devices::BRIGHTNESS_MIN);
}

TEST_F(PreferencesTest, VolumeStepsTheLineSourceInPerCentOfItsRange)
{
    RegisterMixer({"Master", "Line", "Line 2"});
    preferences = new Preferences(nullptr);
    ASSERT_NE(mixer, nullptr);
    // -20 dB on a range of -60 to 20 is the middle.
    EXPECT_EQ(preferences->VolumeUp(), 55);
    EXPECT_EQ(mixer->Volume("Line"), (std::vector<float>{-16, -16}));
    EXPECT_EQ(mixer->Volume("Master"), (std::vector<float>{-20, -20}));
    EXPECT_EQ(mixer->Volume("Line 2"), (std::vector<float>{-20, -20}));
    EXPECT_EQ(preferences->VolumeDown(), 50);
    EXPECT_EQ(preferences->VolumeDown(), 45);
    EXPECT_EQ(mixer->Volume("Line"), (std::vector<float>{-24, -24}));
    for (int32 i = 0; i < 12; i++)
        (void)preferences->VolumeDown();
    EXPECT_EQ(preferences->VolumeDown(), 0);
    EXPECT_EQ(mixer->Volume("Line"), (std::vector<float>{-60, -60}));
}

TEST_F(PreferencesTest, MissingControlsGiveZeroAndChangeNothing)
{
    // A mixer without a line source has no volume to step.
    RegisterMixer({"Master", "Microphone"});
    preferences = new Preferences(nullptr);
    EXPECT_EQ(preferences->VolumeUp(), 0);
    EXPECT_EQ(mixer->Volume("Master"), (std::vector<float>{-20, -20}));
    preferences->Lock();
    preferences->Quit();
    preferences = nullptr;

    // Without a media service nothing is bound at all.
    kits::media::SetMediaServerRunning(false);
    preferences = new Preferences(nullptr);
    EXPECT_EQ(preferences->VolumeUp(), 0);
    EXPECT_EQ(preferences->BrightnessUp(), 0);
    EXPECT_EQ(preferences->ContrastDown(), 0);
    EXPECT_EQ(preferences->SaturationUp(), 0);
    kits::media::SetMediaServerRunning(true);
    EXPECT_FLOAT_EQ(CardValue("Brightness"), 0);
}

}
