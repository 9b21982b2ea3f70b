#pragma once
// TestMixerNode: an audio output with a stereo volume per sound source.

#include "kits/media/ContinuousParameter.h"
#include "kits/media/Controllable.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace test_support {

// Its web holds a group "Output" with a sub-group per source, each holding a two-channel
// "Volume" from -60 to 20 dB that starts at -20 dB; parameter i is the volume of sources[i].
// The roster calls the hooks from any thread.
class TestMixerNode : public BControllable {
public:
    explicit TestMixerNode(const std::vector<std::string>& sources)
        : BMediaNode("Test Mixer"), sources(sources), volumes(sources.size(), {-20, -20})
    {
        auto* web = new BParameterWeb();
        BParameterGroup* output = web->MakeGroup("Output");
        for (size_t i = 0; i < sources.size(); i++) {
            output->MakeGroup(sources[i].c_str())
                ->MakeContinuousParameter(int32(i), B_MEDIA_RAW_AUDIO, "Volume", B_GAIN,
                    B_UNIT_DB, -60, 20, 0.5f)
                ->SetChannelCount(2);
        }
        (void)SetParameterWeb(web);
    }

    BMediaAddOn* AddOn(int32*) const override { return nullptr; }

    // Both channels of the source's volume as last written.
    std::vector<float> Volume(const std::string& source)
    {
        const auto found = std::find(sources.begin(), sources.end(), source);
        std::lock_guard<std::mutex> guard(valueLock);
        return volumes.at(size_t(found - sources.begin()));
    }

protected:
    status_t GetParameterValue(int32 id, bigtime_t*, void* value, size_t* ioSize) override
    {
        std::lock_guard<std::mutex> guard(valueLock);
        if (id < 0 || size_t(id) >= volumes.size() || *ioSize < VOLUME_SIZE)
            return B_BAD_VALUE;
        std::memcpy(value, volumes[size_t(id)].data(), VOLUME_SIZE);
        *ioSize = VOLUME_SIZE;
        return B_OK;
    }

    void SetParameterValue(int32 id, bigtime_t, const void* value, size_t size) override
    {
        std::lock_guard<std::mutex> guard(valueLock);
        if (id >= 0 && size_t(id) < volumes.size() && size == VOLUME_SIZE)
            std::memcpy(volumes[size_t(id)].data(), value, size);
    }

private:
    static constexpr size_t VOLUME_SIZE = 2 * sizeof(float);
    const std::vector<std::string> sources;
    std::mutex valueLock;
    // Guarded by valueLock.
    std::vector<std::vector<float>> volumes;
};

} // namespace test_support
