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

TEST_F(PreferencesTest, PictureStepsMoveTheCardByFiveWithinItsRangeAndReturnPerCentOfIt)
{
    preferences = new Preferences(nullptr);
    // Brightness runs from -128 to 127 and starts at 0.
    EXPECT_EQ(preferences->BrightnessUp(), 52);
    EXPECT_EQ(CardValue<float>("Brightness"), 5.0f);
    EXPECT_EQ(preferences->BrightnessDown(), 50);
    EXPECT_EQ(preferences->BrightnessDown(), 48);
    EXPECT_EQ(CardValue<float>("Brightness"), -5.0f);
    // Contrast and saturation run from 0 to 200 and start at 100.
    EXPECT_EQ(preferences->ContrastUp(), 52);
    EXPECT_EQ(CardValue<float>("Contrast"), 105.0f);
    EXPECT_EQ(preferences->ContrastDown(), 50);
    EXPECT_EQ(preferences->SaturationDown(), 47);
    EXPECT_EQ(CardValue<float>("Saturation"), 95.0f);
    EXPECT_EQ(preferences->SaturationUp(), 50);
    EXPECT_EQ(CardValue<float>("Saturation"), 100.0f);
    // Steps stop at the ends of the range.
    for (int32 i = 0; i < 30; i++)
        (void)preferences->BrightnessUp();
    EXPECT_EQ(preferences->BrightnessUp(), 100);
    EXPECT_EQ(CardValue<float>("Brightness"), float(devices::BRIGHTNESS_MAX));
    for (int32 i = 0; i < 60; i++)
        (void)preferences->BrightnessDown();
    EXPECT_EQ(preferences->BrightnessDown(), 0);
    EXPECT_EQ(CardValue<float>("Brightness"), float(devices::BRIGHTNESS_MIN));
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
