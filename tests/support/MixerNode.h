#pragma once
// TestMixerNode: an audio output with a stereo volume per sound source.

#include "kits/media/Controllable.h"

#include <mutex>
#include <string>
#include <vector>

namespace test_support {

// Its web holds a group "Output" with a sub-group per source, each holding a two-channel
// "Volume" from -60 to 20 dB that starts at -20 dB. The roster calls the hooks from any thread.
class TestMixerNode : public BControllable {
public:
    explicit TestMixerNode(const std::vector<std::string>& sources);

    BMediaAddOn* AddOn(int32* internalId) const override;
    // Both channels of the source's volume as last written.
    std::vector<float> Volume(const std::string& source);

protected:
    status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
        size_t* ioSize) override;
    void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

private:
    const std::vector<std::string> sources;
    std::mutex valueLock;
    // Guarded by valueLock; parameter id i is the volume of sources[i].
    std::vector<std::vector<float>> volumes;
};

} // namespace test_support
