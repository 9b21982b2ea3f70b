#include "devices/AudioOutputSelection.h"

#include "devices/VideoInputSelection.h"

namespace devices {

std::optional<std::string> ChooseAudioOutput(
    const std::vector<ProbedSoundCard>& cards, std::string_view preferred)
{
    if (preferred == AUDIO_OUTPUT_STANDALONE)
        return std::nullopt;
    const ProbedSoundCard* first = nullptr;
    for (const ProbedSoundCard& card : cards) {
        if (card.sources.empty())
            continue;
        if (card.id == preferred)
            return card.id;
        if (first == nullptr)
            first = &card;
    }
    if (first != nullptr)
        return first->id;
    return std::nullopt;
}

std::string AudioOutputPreference()
{
    return SettingPreference("OVELIN_AUDIO_OUTPUT", AUDIO_OUTPUT_SETTING);
}

status_t WriteAudioOutputSetting(std::string_view value)
{
    return WriteSettingLine(AUDIO_OUTPUT_SETTING, value);
}

}
