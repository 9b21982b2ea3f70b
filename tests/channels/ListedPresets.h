#pragma once
// What the channel suite's station list holds, for the tests that drive the suite.

#include "channels/ChannelSuite.h"
#include "channels/qvChannelItem.h"
#include "kits/interface/ListView.h"
#include "video/StationPresets.h"

#include <vector>

namespace channels_test {

// The entries of presetList as the presets file would store them; the caller holds the suite's
// lock. Empty while no suite has built its list.
inline std::vector<video::StationPreset> ListedPresets()
{
    std::vector<video::StationPreset> listed;
    for (int32 i = 0; presetList != nullptr && i < presetList->CountItems(); i++) {
        auto* item = dynamic_cast<qvChannelItem*>(presetList->ItemAt(i));
        listed.push_back({item->name, item->channel, item->videoFormat, item->audioFormat});
    }
    return listed;
}

// The channels of the listed presets, read under the suite's lock while its thread runs.
inline std::vector<int32> ListedChannels(ChannelSuite* suite)
{
    suite->Lock();
    std::vector<int32> channels;
    for (const video::StationPreset& preset : ListedPresets())
        channels.push_back(preset.channel);
    suite->Unlock();
    return channels;
}

}
