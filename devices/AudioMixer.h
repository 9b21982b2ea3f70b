#pragma once
// AudioMixer: the volumes behind the audio output node, on a sound card's mixer or standing alone.

#include "kits/kernel/SupportDefs.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace devices {

// A sound source with a volume: its name and the range of its volume, in the mixer's own units.
struct AudioSource {
    std::string name;
    float minimum = 0;
    float maximum = 0;
    // The smallest change the mixer keeps.
    float step = 1;
    // The mixer's unit (B_UNIT_NONE for a card's raw steps).
    const char* unit = "";
};

// A volume's two channels, left first.
using StereoVolume = std::array<float, 2>;

// The backend of AudioOutputNode. Its sources are fixed once made. Not thread-safe: the node
// calls it under its own lock.
class AudioMixer {
public:
    virtual ~AudioMixer() = default;

    virtual const std::vector<AudioSource>& Sources() const = 0;
    // The volume of source `index` as the mixer holds it now, changes made by others included.
    [[nodiscard]] virtual status_t Read(size_t index, StereoVolume& volume) = 0;
    // Sets the volume of source `index`; the values are within the source's range.
    [[nodiscard]] virtual status_t Write(size_t index, const StereoVolume& volume) = 0;
};

// The mixer of the ALSA card `card` ("hw:0"): one source per simple element with a playback or
// capture volume (the playback one where it has both), in the mixer's order, its range the
// element's own steps. A mono element reads as the same value on both channels and is written
// the mean of the two. Null when the card cannot be opened or has no volume.
std::unique_ptr<AudioMixer> OpenAlsaMixer(const std::string& card);
// A mixer of its own, for a machine without a sound card: "Master", "Line", "CD" and "Mic",
// each from 0 to 100 % starting at 50 %, keeping what is written for the life of the process.
std::unique_ptr<AudioMixer> MakeStandaloneMixer();

}
