#pragma once
// A fixture with a clean media roster, the test card as the default video input, its parameters
// as the roster hands them out, and the presets file that names its channels.

#include "kits/media/MediaTestHooks.h"
#include "kits/media/Parameter.h"
#include "tests/support/TemporaryFolder.h"

#include <optional>
#include <string>
#include <vector>

namespace test_support {

// A test on a boot volume of its own whose media roster has no default nodes and no faults at
// its start and end.
class MediaRosterTest : public BootVolumeTest {
protected:
    void SetUp() override
    {
        BootVolumeTest::SetUp();
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }

    void TearDown() override
    {
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
        BootVolumeTest::TearDown();
    }
};

// Makes the default video input a test card, with or without a tuner.
void RegisterTestCard(bool tunerFitted = true);

// The channel the test card starts on: that of its first station.
int32 CardChannel();

// The video input's parameter named `name`, or null; the roster keeps it for the whole process.
BParameter* CardParameter(const char* name);

// What the card holds now for its parameter `name`, read as a T: int32 for the tuner's, float
// for the picture's; nothing when it cannot be read.
template <typename T>
std::optional<T> CardValue(const char* name)
{
    BParameter* parameter = CardParameter(name);
    T value{};
    size_t size = sizeof(value);
    if (parameter == nullptr || parameter->GetValue(&value, &size, nullptr) != B_OK)
        return std::nullopt;
    return value;
}

// A preset as the presets file stores it; absent fields are left out of the file.
struct StoredPreset {
    std::optional<int32> channel;
    std::optional<std::string> name;
    std::optional<int32> videoFormat = {};
};

// Writes the presets file on the boot volume: each field as an array, "Channel" first, as the
// channel suite saves them.
void WritePresets(const std::vector<StoredPreset>& presets);

} // namespace test_support
