#pragma once
// The station presets file: reading it, writing it without ever leaving half a file, and keeping
// a copy of one that cannot be read.

#include "kits/kernel/SupportDefs.h"
// KeepCopy keeps an unreadable presets file at DAMAGED_PRESETS_PATH.
#include "video/ReplaceFile.h"

#include <optional>
#include <string>
#include <vector>

class BMessage;
class BPositionIO;

namespace video {

// One message with the arrays "Channel", "Name", "VideoFormat" and "AudioFormat", element i of
// each belonging to preset i. The viewer's channel suite reads and writes it, the replicant's
// "Stations" menu and the stations tool read it.
inline constexpr const char* PRESETS_PATH = "/boot/home/config/settings/Media/presets";
// Where the bytes of a presets file that could not be read are kept before it is replaced.
inline constexpr const char* DAMAGED_PRESETS_PATH
    = "/boot/home/config/settings/Media/presets.damaged";
// The command of the message written; readers ignore it.
constexpr uint32 PRESETS_COMMAND = 'CNLS';
// The name of a preset whose "Name" element is missing.
inline constexpr const char* UNKNOWN_STATION = "Unknown station";

struct StationPreset {
    std::string name;
    // Position in the items of the card's "Channel" parameter; not a frequency.
    int32 channel = 0;
    // Positions in the items of "Video Format" and "Audio Format", -1 when the card had no such
    // parameter; absent when the file holds no element for this preset.
    std::optional<int32> videoFormat;
    std::optional<int32> audioFormat;

    bool operator==(const StationPreset&) const = default;
};

// The presets of a message: one for each "Channel" element up to the first missing one, named
// UNKNOWN_STATION where "Name" has no element.
std::vector<StationPreset> PresetsFromMessage(const BMessage& message);
// The message written for presets, with the command PRESETS_COMMAND and the four arrays created
// in the order "Channel", "Name", "VideoFormat", "AudioFormat"; an absent format is written -1.
BMessage MessageFromPresets(const std::vector<StationPreset>& presets);

// Reads the message at the start of `file` into `presets`. An empty file, or a message without
// fields, holds no presets and gives B_OK. B_NOT_A_MESSAGE or B_BAD_DATA for a file that is no
// message or a damaged one, B_BAD_TYPE for a message with fields but no "Channel" (another
// program's), or the stream's error; `presets` is changed only on success. The position is left
// anywhere.
[[nodiscard]] status_t ReadPresets(BPositionIO& file, std::vector<StationPreset>& presets);
// The same for the file at `path` (a "/boot/..." or host path), opened read-only.
[[nodiscard]] status_t ReadPresets(const char* path, std::vector<StationPreset>& presets);

// Writes presets to `path` so that it always holds either the old list or the whole new one: the
// message goes to a file beside it, reaches the disk, and replaces the old file in one step. On
// failure (a full disk, say) the old file is untouched and the partial one removed.
[[nodiscard]] status_t WritePresets(const char* path, const std::vector<StationPreset>& presets);

}
