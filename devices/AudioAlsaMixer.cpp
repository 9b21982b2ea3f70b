#include "devices/AudioMixer.h"
#include "devices/AudioOutputSelection.h"

#include "kits/kernel/Errors.h"
#include "kits/media/Parameter.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <memory>

namespace devices {

namespace {

// ALSA answers negative errno values.
status_t StatusFor(int error)
{
    return status_for_errno(-error);
}

struct MixerCloser {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using MixerHandle = std::unique_ptr<snd_mixer_t, MixerCloser>;

struct CtlCloser {
    void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};

// A simple element with a volume, as the node sees it.
struct VolumeElement {
    snd_mixer_elem_t* element;
    // A playback (or common) volume; else a capture volume.
    bool playback;
    bool mono;
};

class AlsaMixer : public AudioMixer {
public:
    explicit AlsaMixer(MixerHandle handle)
        : mixer(std::move(handle))
    {
        for (snd_mixer_elem_t* element = snd_mixer_first_elem(mixer.get()); element != nullptr;
             element = snd_mixer_elem_next(element)) {
            if (!snd_mixer_selem_is_active(element))
                continue;
            VolumeElement entry{element, true, false};
            long minimum = 0;
            long maximum = 0;
            if (snd_mixer_selem_has_playback_volume(element)
                || snd_mixer_selem_has_common_volume(element)) {
                entry.mono = snd_mixer_selem_is_playback_mono(element);
                snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum);
            } else if (snd_mixer_selem_has_capture_volume(element)) {
                entry.playback = false;
                entry.mono = snd_mixer_selem_is_capture_mono(element);
                snd_mixer_selem_get_capture_volume_range(element, &minimum, &maximum);
            } else {
                continue;
            }
            if (maximum <= minimum)
                continue;
            // A second element of one name ("Mic" of a second microphone) carries its index.
            std::string name = snd_mixer_selem_get_name(element);
            if (const unsigned index = snd_mixer_selem_get_index(element); index > 0)
                name += " " + std::to_string(index);
            sources.push_back({name, float(minimum), float(maximum), 1, B_UNIT_NONE});
            elements.push_back(entry);
        }
    }

    const std::vector<AudioSource>& Sources() const override { return sources; }

    status_t Read(size_t index, StereoVolume& volume) override
    {
        if (index >= elements.size())
            return B_BAD_INDEX;
        // Takes in what other mixers changed since the last call; the handle never blocks.
        if (int error = snd_mixer_handle_events(mixer.get()); error < 0 && error != -EAGAIN)
            return StatusFor(error);
        const VolumeElement& entry = elements[index];
        long values[2] = {};
        const snd_mixer_selem_channel_id_t channels[2]
            = {SND_MIXER_SCHN_FRONT_LEFT, SND_MIXER_SCHN_FRONT_RIGHT};
        for (size_t channel = 0; channel < 2; channel++) {
            const snd_mixer_selem_channel_id_t id
                = entry.mono ? SND_MIXER_SCHN_MONO : channels[channel];
            const int error = entry.playback
                ? snd_mixer_selem_get_playback_volume(entry.element, id, &values[channel])
                : snd_mixer_selem_get_capture_volume(entry.element, id, &values[channel]);
            if (error < 0)
                return StatusFor(error);
        }
        volume = {float(values[0]), float(values[1])};
        return B_OK;
    }

    status_t Write(size_t index, const StereoVolume& volume) override
    {
        if (index >= elements.size())
            return B_BAD_INDEX;
        const VolumeElement& entry = elements[index];
        if (entry.mono) {
            // One channel keeps the mean, so a balance the element cannot hold moves both.
            const long value = std::lround((volume[0] + volume[1]) / 2);
            const int error = entry.playback
                ? snd_mixer_selem_set_playback_volume_all(entry.element, value)
                : snd_mixer_selem_set_capture_volume_all(entry.element, value);
            return error < 0 ? StatusFor(error) : B_OK;
        }
        const snd_mixer_selem_channel_id_t channels[2]
            = {SND_MIXER_SCHN_FRONT_LEFT, SND_MIXER_SCHN_FRONT_RIGHT};
        for (size_t channel = 0; channel < 2; channel++) {
            const long value = std::lround(volume[channel]);
            const int error = entry.playback
                ? snd_mixer_selem_set_playback_volume(entry.element, channels[channel], value)
                : snd_mixer_selem_set_capture_volume(entry.element, channels[channel], value);
            if (error < 0)
                return StatusFor(error);
        }
        return B_OK;
    }

private:
    MixerHandle mixer;
    std::vector<AudioSource> sources;
    // Parallel to sources; the elements belong to the mixer.
    std::vector<VolumeElement> elements;
};

}

std::unique_ptr<AudioMixer> OpenAlsaMixer(const std::string& card)
{
    snd_mixer_t* opened = nullptr;
    if (snd_mixer_open(&opened, 0) < 0)
        return nullptr;
    MixerHandle mixer(opened);
    // A non-blocking control lets each read take in pending changes without waiting for one.
    snd_hctl_t* hctl = nullptr;
    if (snd_hctl_open(&hctl, card.c_str(), SND_CTL_NONBLOCK) < 0)
        return nullptr;
    // The mixer owns the control from here, and closes it on failure too.
    if (snd_mixer_attach_hctl(mixer.get(), hctl) < 0
        || snd_mixer_selem_register(mixer.get(), nullptr, nullptr) < 0
        || snd_mixer_load(mixer.get()) < 0) {
        return nullptr;
    }
    auto alsa = std::make_unique<AlsaMixer>(std::move(mixer));
    if (alsa->Sources().empty())
        return nullptr;
    return alsa;
}

std::vector<ProbedSoundCard> ProbeSoundCards()
{
    std::vector<ProbedSoundCard> cards;
    int number = -1;
    while (snd_card_next(&number) == 0 && number >= 0) {
        ProbedSoundCard card;
        card.id = "hw:" + std::to_string(number);
        snd_ctl_t* opened = nullptr;
        if (snd_ctl_open(&opened, card.id.c_str(), 0) < 0)
            continue;
        std::unique_ptr<snd_ctl_t, CtlCloser> ctl(opened);
        snd_ctl_card_info_t* info = nullptr;
        snd_ctl_card_info_alloca(&info);
        if (snd_ctl_card_info(ctl.get(), info) == 0)
            card.name = snd_ctl_card_info_get_name(info);
        ctl.reset();
        if (std::unique_ptr<AudioMixer> mixer = OpenAlsaMixer(card.id)) {
            for (const AudioSource& source : mixer->Sources())
                card.sources.push_back(source.name);
        }
        cards.push_back(std::move(card));
    }
    return cards;
}

}
