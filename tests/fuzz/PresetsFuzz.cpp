// Feeds arbitrary bytes to the presets reader as the presets file, and checks that whatever it
// accepts is written as a message that reads back to the same presets.

#include "kits/app/Message.h"
#include "kits/storage/MallocIO.h"
#include "video/StationPresets.h"

#include <cstdlib>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BMallocIO file;
    Check(file.WriteExactly(data, size) == B_OK);
    std::vector<video::StationPreset> presets{{"untouched", 1, {}, {}}};
    const std::vector<video::StationPreset> before = presets;
    if (video::ReadPresets(file, presets) != B_OK) {
        // A file that fails to load leaves the caller's list as it was.
        Check(presets == before);
        return 0;
    }
    // Written, every preset has all four elements; the reader gives them back as written.
    for (video::StationPreset& preset : presets) {
        preset.videoFormat = preset.videoFormat.value_or(-1);
        preset.audioFormat = preset.audioFormat.value_or(-1);
    }
    BMallocIO written;
    Check(video::MessageFromPresets(presets).Flatten(&written) == B_OK);
    std::vector<video::StationPreset> again;
    Check(video::ReadPresets(written, again) == B_OK);
    Check(again == presets);
    return 0;
}
