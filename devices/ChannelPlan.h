#pragma once
// ChannelPlan: the channel labels of the tuner's frequency plan (E2 to E12, 21 to 69).

#include "kits/kernel/SupportDefs.h"

#include <string>
#include <string_view>

namespace devices {

// The band I and III channels E2 to E12 come first, then the UHF channels 21 to 69; a channel is
// known by its position in this list.
class ChannelPlan {
public:
    static int32 CountChannels();
    // The label of the channel at position, or an empty string when there is none.
    static std::string LabelAt(int32 position);
    // The position of the channel with this label, or -1.
    static int32 PositionOf(std::string_view label);
};

}
