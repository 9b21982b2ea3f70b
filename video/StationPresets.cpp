#include "video/StationPresets.h"

#include "kits/app/Flattening.h"
#include "kits/app/Message.h"
#include "kits/kernel/TypeConstants.h"
#include "kits/storage/File.h"
#include "video/ReplaceFile.h"

#include <string>

namespace video {

std::vector<StationPreset> PresetsFromMessage(const BMessage& message)
{
    std::vector<StationPreset> presets;
    StationPreset preset;
    for (int32 i = 0; message.FindInt32("Channel", i, &preset.channel) == B_OK; i++) {
        if (message.FindString("Name", i, &preset.name) != B_OK)
            preset.name = UNKNOWN_STATION;
        int32 format = -1;
        preset.videoFormat.reset();
        if (message.FindInt32("VideoFormat", i, &format) == B_OK)
            preset.videoFormat = format;
        preset.audioFormat.reset();
        if (message.FindInt32("AudioFormat", i, &format) == B_OK)
            preset.audioFormat = format;
        presets.push_back(preset);
    }
    return presets;
}

BMessage MessageFromPresets(const std::vector<StationPreset>& presets)
{
    BMessage message(PRESETS_COMMAND);
    // The first preset creates the fields, so they stand in the file in this order.
    for (const StationPreset& preset : presets) {
        (void)message.AddInt32("Channel", preset.channel);
        (void)message.AddString("Name", preset.name.c_str());
        (void)message.AddInt32("VideoFormat", preset.videoFormat.value_or(-1));
        (void)message.AddInt32("AudioFormat", preset.audioFormat.value_or(-1));
    }
    return message;
}

status_t ReadPresets(BPositionIO& file, std::vector<StationPreset>& presets)
{
    off_t size = 0;
    if (status_t status = file.GetSize(&size); status != B_OK)
        return status;
    if (size == 0) {
        presets.clear();
        return B_OK;
    }
    if (file.Seek(0, SEEK_SET) != 0)
        return B_IO_ERROR;
    BMessage message;
    if (status_t status = kits::app::UnflattenMessage(file, message); status != B_OK)
        return status;
    // Another program's message is no list of presets, and must not be taken for an empty one
    // that may be written over.
    type_code type = 0;
    int32 channels = 0;
    if (message.CountNames(B_ANY_TYPE) > 0
        && (message.GetInfo("Channel", &type, &channels) != B_OK || type != B_INT32_TYPE)) {
        return B_BAD_TYPE;
    }
    presets = PresetsFromMessage(message);
    return B_OK;
}

status_t ReadPresets(const char* path, std::vector<StationPreset>& presets)
{
    BFile file(path, B_READ_ONLY);
    if (file.InitCheck() != B_OK)
        return file.InitCheck();
    return ReadPresets(file, presets);
}

status_t WritePresets(const char* path, const std::vector<StationPreset>& presets)
{
    const BMessage message = MessageFromPresets(presets);
    return ReplaceFile(path, [&](BFile& file) { return message.Flatten(&file); });
}

}
