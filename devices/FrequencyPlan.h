#pragma once
// FrequencyPlan: the channel plans a tuner steps through, each channel with its vision carrier,
// and the conversion between kilohertz and a tuner's frequency units.

#include "kits/kernel/SupportDefs.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devices {

struct PlanChannel {
    std::string name;
    // The vision carrier, in kHz.
    uint32 kilohertz;
};

// A published channel plan. The plans are built once and live for the whole process; references
// to them stay valid and may be used from any thread.
class FrequencyPlan {
public:
    // The western European plan for PAL-B/G: E2 to E12 in bands I and III, then UHF 21 to 69,
    // labelled and ordered as ChannelPlan lists them.
    static const FrequencyPlan& Europe();
    // The US broadcast plan: channels 2 to 69.
    static const FrequencyPlan& UsBroadcast();
    // The US cable plan: channels 1 to 125 (95 to 99 lie between 6 and 14, 14 to 22 between 99
    // and 7).
    static const FrequencyPlan& UsCable();
    // The plan for a standard mask: US broadcast for 525-line standards, or US cable when asked
    // for; Europe for every other mask.
    static const FrequencyPlan& ForStandard(uint64 standard, bool cable);

    std::string_view Name() const { return name; }
    int32 CountChannels() const { return int32(channels.size()); }
    // The channel at this position, or nullptr when there is none.
    const PlanChannel* ChannelAt(int32 position) const;
    // The position of the channel with this name, or -1.
    int32 PositionOf(std::string_view channelName) const;
    // The position of the channel whose vision carrier is nearest to the frequency; of two equally
    // near, the lower one.
    int32 NearestChannel(uint32 kilohertz) const;

private:
    FrequencyPlan(std::string name, std::vector<PlanChannel> channels);

    std::string name;
    std::vector<PlanChannel> channels;
};

// Tuner frequency units: 62.5 kHz, or 62.5 Hz for a tuner with the low-frequency capability.
// Rounds to the nearest unit (halves up); nothing when the result does not fit 32 bits.
std::optional<uint32> KilohertzToTunerUnits(uint32 kilohertz, bool lowUnits);
// Back to kHz, rounded to the nearest (halves up); a frequency past 32 bits of kHz gives the
// largest value that fits.
uint32 TunerUnitsToKilohertz(uint32 units, bool lowUnits);

}
