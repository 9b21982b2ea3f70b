#include "devices/ChannelPlan.h"

namespace devices {

namespace {

constexpr int32 FIRST_VHF = 2;
constexpr int32 LAST_VHF = 12;
constexpr int32 FIRST_UHF = 21;
constexpr int32 LAST_UHF = 69;
constexpr int32 VHF_COUNT = LAST_VHF - FIRST_VHF + 1;
constexpr int32 UHF_COUNT = LAST_UHF - FIRST_UHF + 1;

}

int32 ChannelPlan::CountChannels()
{
    return VHF_COUNT + UHF_COUNT;
}

std::string ChannelPlan::LabelAt(int32 position)
{
    if (position < 0 || position >= CountChannels())
        return {};
    if (position < VHF_COUNT) {
        std::string label = "E";
        return label += std::to_string(FIRST_VHF + position);
    }
    return std::to_string(FIRST_UHF + position - VHF_COUNT);
}

int32 ChannelPlan::PositionOf(std::string_view label)
{
    for (int32 position = 0; position < CountChannels(); position++) {
        if (LabelAt(position) == label)
            return position;
    }
    return -1;
}

}
