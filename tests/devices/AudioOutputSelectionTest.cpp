#include "devices/AudioOutputSelection.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

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

}
}
