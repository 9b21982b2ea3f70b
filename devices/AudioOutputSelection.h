#pragma once
// Which mixer becomes the default audio output: probing the sound cards, choosing and the setting.

#include "kits/kernel/SupportDefs.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devices {

// The setting file naming the mixer to use: one line holding a card ("hw:1"), or
// AUDIO_OUTPUT_STANDALONE for the mixer that stands alone; empty or missing leaves the choice to
// ChooseAudioOutput. Kept with VideoInputSelection's setting-file functions.
inline constexpr const char* AUDIO_OUTPUT_SETTING
    = "/boot/home/config/settings/Media/Audio Output";
inline constexpr std::string_view AUDIO_OUTPUT_STANDALONE = "standalone";

// A sound card as probing found it.
struct ProbedSoundCard {
    // The card's ALSA name, "hw:N".
    std::string id;
    std::string name;
    // The names of its volume elements, in the mixer's order; empty for a card without volume.
    std::vector<std::string> sources;
};

// The system's sound cards in the order of their numbers; cards that cannot be opened are left
// out.
std::vector<ProbedSoundCard> ProbeSoundCards();

// The card whose mixer to use: the preferred one when it is among `cards` and has a volume, else
// the first card with a volume (the system's default card, where it has one); none (the mixer
// that stands alone) when there is no such card or the preference is AUDIO_OUTPUT_STANDALONE.
std::optional<std::string> ChooseAudioOutput(
    const std::vector<ProbedSoundCard>& cards, std::string_view preferred);

// The mixer asked for: $OVELIN_AUDIO_OUTPUT when set (tests set it to AUDIO_OUTPUT_STANDALONE,
// so a developer's own sound card is never changed), else the setting.
std::string AudioOutputPreference();
// Stores `value` as the setting; an empty value empties the file, leaving the choice to
// probing. B_BAD_VALUE for a value of several lines.
[[nodiscard]] status_t WriteAudioOutputSetting(std::string_view value);

}
