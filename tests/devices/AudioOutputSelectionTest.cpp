#include "devices/AudioOutputSelection.h"

#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace devices::test {
namespace {

TEST(AudioOutputSelectionTest, ChoosesTheSettingsCardElseTheFirstWithAVolume)
{
    const std::vector<ProbedSoundCard> cards = {
        {"hw:0", "HDMI", {}},
        {"hw:1", "Onboard", {"Master", "Line"}},
        {"hw:2", "USB TV stick", {"Mic"}},
    };
    const struct {
        std::string preferred;
        std::optional<std::string> chosen;
    } cases[] = {
        {"", "hw:1"},
        {"hw:2", "hw:2"},
        // A card without a volume, or one that is gone, is passed over.
        {"hw:0", "hw:1"},
        {"hw:7", "hw:1"},
        {std::string(AUDIO_OUTPUT_STANDALONE), std::nullopt},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(ChooseAudioOutput(cards, entry.preferred), entry.chosen) << entry.preferred;
    EXPECT_EQ(ChooseAudioOutput({}, "hw:0"), std::nullopt);
    EXPECT_EQ(ChooseAudioOutput({cards[0]}, ""), std::nullopt);
}

class AudioOutputSettingTest : public PreparedBootVolumeTest {};

TEST_F(AudioOutputSettingTest, TheStoredChoiceIsReadUnlessTheEnvironmentOverridesIt)
{
    const char* before = std::getenv("OVELIN_AUDIO_OUTPUT");
    const std::string saved = before != nullptr ? before : "";
    unsetenv("OVELIN_AUDIO_OUTPUT");
    EXPECT_EQ(AudioOutputPreference(), "");
    ASSERT_EQ(WriteAudioOutputSetting(" hw:1\n"), B_OK);
    EXPECT_EQ(AudioOutputPreference(), "hw:1");
    EXPECT_EQ(WriteAudioOutputSetting("hw:1\nhw:2"), B_BAD_VALUE);
    EXPECT_EQ(AudioOutputPreference(), "hw:1");
    setenv("OVELIN_AUDIO_OUTPUT", "standalone", 1);
    EXPECT_EQ(AudioOutputPreference(), "standalone");
    if (before != nullptr)
        setenv("OVELIN_AUDIO_OUTPUT", saved.c_str(), 1);
    else
        unsetenv("OVELIN_AUDIO_OUTPUT");
}

}
}
