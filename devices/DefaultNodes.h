#pragma once
// RegisterDefaultNodes: makes the devices of this folder the system's default media nodes.

#include "kits/kernel/SupportDefs.h"

namespace devices {

// The priority the test signal card registers with: the lowest, so any real card registered
// at a higher priority is chosen instead.
constexpr int32 TEST_CARD_PRIORITY = INT32_MIN;
// The priority of the V4L2 capture devices: above the test card, which stands in when no
// device is there, opens, or the setting asks for the test card.
constexpr int32 V4L2_CAPTURE_PRIORITY = 0;
// The priorities of the audio outputs: the mixer that stands alone at the lowest, the sound
// card's mixer above it.
constexpr int32 STANDALONE_MIXER_PRIORITY = INT32_MIN;
constexpr int32 SOUND_CARD_MIXER_PRIORITY = 0;

// Registers, as the default video input, the V4L2 device chosen by ChooseVideoInput for
// VideoInputPreference() (the preferred device, else the first with a tuner, else the first
// capture device) and the test signal card behind it, which stands in when there is none. A
// program calls it at the start of main(), before anything asks the roster for its video
// input; the device is probed when the roster first asks. Calling it again registers them once
// more, which changes nothing but lets a program that reset the media kit's defaults have them
// back.
//
// Registers as the default audio output an AudioOutputNode on the mixer of the card chosen by
// ChooseAudioOutput for AudioOutputPreference(), and behind it one on the mixer that stands
// alone, for a machine without a sound card or a setting that asks for it.
[[nodiscard]] status_t RegisterDefaultNodes();

}
