#include "devices/FrequencyPlan.h"

#include "devices/ChannelPlan.h"
#include "devices/VideoStandard.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace devices {

namespace {

// Channels first to last, spacing kHz apart from the first carrier, named by their numbers.
void AddNumbered(std::vector<PlanChannel>& channels, int32 first, int32 last, uint32 firstCarrier,
    uint32 spacing)
{
    for (int32 number = first; number <= last; number++)
        channels.push_back(
            {std::to_string(number), firstCarrier + uint32(number - first) * spacing});
}

std::vector<PlanChannel> EuropeanChannels()
{
    // Band I: E2 to E4; band III: E5 to E12, 7 MHz apart; UHF: 8 MHz apart from 471.25 MHz.
    constexpr uint32 BAND_ONE[] = {48250, 55250, 62250};
    std::vector<PlanChannel> channels;
    for (int32 position = 0; position < ChannelPlan::CountChannels(); position++) {
        uint32 carrier = 0;
        if (position < 3)
            carrier = BAND_ONE[position];
        else if (position < 11)
            carrier = 175250 + uint32(position - 3) * 7000;
        else
            carrier = 471250 + uint32(position - 11) * 8000;
        channels.push_back({ChannelPlan::LabelAt(position), carrier});
    }
    return channels;
}

// Channels 2 to 13 of the US plans: 2 to 4 and 5 to 6 in the low VHF band, 7 to 13 in the high.
void AddUsVhf(std::vector<PlanChannel>& channels)
{
    AddNumbered(channels, 2, 4, 55250, 6000);
    AddNumbered(channels, 5, 6, 77250, 6000);
    AddNumbered(channels, 7, 13, 175250, 6000);
}

std::vector<PlanChannel> UsBroadcastChannels()
{
    std::vector<PlanChannel> channels;
    AddUsVhf(channels);
    AddNumbered(channels, 14, 69, 471250, 6000);
    return channels;
}

std::vector<PlanChannel> UsCableChannels()
{
    std::vector<PlanChannel> channels;
    AddNumbered(channels, 1, 1, 73250, 6000);
    AddUsVhf(channels);
    // The mid band below channel 7, the super and hyper bands above channel 13.
    AddNumbered(channels, 14, 22, 121250, 6000);
    AddNumbered(channels, 23, 94, 217250, 6000);
    // Channels 95 to 99 fill the gap between channels 6 and 14.
    AddNumbered(channels, 95, 99, 91250, 6000);
    AddNumbered(channels, 100, 125, 649250, 6000);
    return channels;
}

}

FrequencyPlan::FrequencyPlan(std::string name, std::vector<PlanChannel> channels)
    : name(std::move(name)),
      channels(std::move(channels))
{
}

const FrequencyPlan& FrequencyPlan::Europe()
{
    static const FrequencyPlan plan("Europe", EuropeanChannels());
    return plan;
}

const FrequencyPlan& FrequencyPlan::UsBroadcast()
{
    static const FrequencyPlan plan("US broadcast", UsBroadcastChannels());
    return plan;
}

const FrequencyPlan& FrequencyPlan::UsCable()
{
    static const FrequencyPlan plan("US cable", UsCableChannels());
    return plan;
}

const FrequencyPlan& FrequencyPlan::ForStandard(uint64 standard, bool cable)
{
    if (!Is525Line(standard))
        return Europe();
    return cable ? UsCable() : UsBroadcast();
}

const PlanChannel* FrequencyPlan::ChannelAt(int32 position) const
{
    if (position < 0 || position >= CountChannels())
        return nullptr;
    return &channels[size_t(position)];
}

int32 FrequencyPlan::PositionOf(std::string_view channelName) const
{
    for (int32 position = 0; position < CountChannels(); position++) {
        if (channels[size_t(position)].name == channelName)
            return position;
    }
    return -1;
}

int32 FrequencyPlan::NearestChannel(uint32 kilohertz) const
{
    int32 nearest = -1;
    int64 nearestDistance = 0;
    for (int32 position = 0; position < CountChannels(); position++) {
        const uint32 carrier = channels[size_t(position)].kilohertz;
        const int64 distance = std::llabs(int64(carrier) - int64(kilohertz));
        if (nearest < 0 || distance < nearestDistance
            || (distance == nearestDistance && carrier < channels[size_t(nearest)].kilohertz)) {
            nearest = position;
            nearestDistance = distance;
        }
    }
    return nearest;
}

std::optional<uint32> KilohertzToTunerUnits(uint32 kilohertz, bool lowUnits)
{
    // 62.5 Hz is 1/16 kHz; 62.5 kHz is 125/2 kHz, so units = kHz * 2 / 125, rounded.
    const uint64 units = lowUnits ? uint64(kilohertz) * 16 : (uint64(kilohertz) * 4 + 125) / 250;
    if (units > std::numeric_limits<uint32>::max())
        return std::nullopt;
    return uint32(units);
}

uint32 TunerUnitsToKilohertz(uint32 units, bool lowUnits)
{
    if (lowUnits)
        return uint32((uint64(units) + 8) / 16);
    return uint32(std::min<uint64>((uint64(units) * 125 + 1) / 2,
        std::numeric_limits<uint32>::max()));
}

}
