#include "video/StationPresets.h"

#include "kits/app/Flattening.h"
#include "kits/app/Message.h"
#include "kits/kernel/TypeConstants.h"
#include "kits/storage/Entry.h"
#include "kits/storage/File.h"

#include <functional>
#include <string>

namespace video {

namespace {

// Writes a file through `write` under a name beside `path`, then puts it in place of `path`.
status_t ReplaceFile(const char* path, const std::function<status_t(BFile&)>& write)
{
    const std::string temporary = std::string(path) + ".saving";
    BEntry entry(temporary.c_str());
    if (entry.InitCheck() != B_OK)
        return entry.InitCheck();
    status_t status = B_OK;
    {
        BFile file(temporary.c_str(), B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
        if (file.InitCheck() != B_OK)
            return file.InitCheck();
        status = write(file);
        // Only a file that is on the disk may replace the old one: else a crash of the system
        // could leave an empty file where the old list was.
        if (status == B_OK)
            status = file.Sync();
    }
    if (status == B_OK)
        status = entry.Rename(path, true);
    if (status != B_OK)
        (void)entry.Remove();
    return status;
}

}

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

status_t KeepCopy(BPositionIO& source, const char* copyPath)
{
    return ReplaceFile(copyPath, [&](BFile& copy) -> status_t {
        if (source.Seek(0, SEEK_SET) != 0)
            return B_IO_ERROR;
        char buffer[4096];
        for (;;) {
            const ssize_t read = source.Read(buffer, sizeof(buffer));
            if (read < 0)
                return status_t(read);
            if (read == 0)
                return B_OK;
            if (status_t status = copy.WriteExactly(buffer, size_t(read)); status != B_OK)
                return status;
        }
    });
}

}
