#include "tests/support/TestCard.h"

#include "devices/TestCardNode.h"
#include "devices/TestStation.h"
#include "kits/app/Message.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "kits/storage/File.h"

#include <gtest/gtest.h>

#include <cstring>

namespace test_support {

void RegisterTestCard(bool tunerFitted)
{
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
        [tunerFitted] {
            auto* card = new devices::TestCardNode();
            card->SetTunerFitted(tunerFitted);
            return static_cast<BMediaNode*>(card);
        }, 0), B_OK);
}

int32 CardChannel()
{
    return devices::DefaultTestStations().front().channel;
}

BParameter* CardParameter(const char* name)
{
    BMediaRoster* roster = BMediaRoster::Roster();
    media_node input;
    BParameterWeb* web = nullptr;
    if (roster == nullptr || roster->GetVideoInput(&input) != B_OK)
        return nullptr;
    (void)roster->ReleaseNode(input);
    if (roster->GetParameterWebFor(input, &web) != B_OK || web == nullptr)
        return nullptr;
    for (int32 i = 0; i < web->CountParameters(); i++) {
        if (std::strcmp(web->ParameterAt(i)->Name(), name) == 0)
            return web->ParameterAt(i);
    }
    return nullptr;
}

void WritePresets(const std::vector<StoredPreset>& presets)
{
    BMessage stored('CNLS');
    for (const StoredPreset& preset : presets) {
        if (preset.channel)
            stored.AddInt32("Channel", *preset.channel);
    }
    for (const StoredPreset& preset : presets) {
        if (preset.name)
            stored.AddString("Name", preset.name->c_str());
    }
    for (const StoredPreset& preset : presets) {
        if (preset.videoFormat)
            stored.AddInt32("VideoFormat", *preset.videoFormat);
    }
    BFile file("/boot/home/config/settings/Media/presets",
        B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
    ASSERT_EQ(file.InitCheck(), B_OK);
    ASSERT_EQ(stored.Flatten(&file), B_OK);
}

} // namespace test_support
