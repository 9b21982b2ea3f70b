#pragma once
// TestMixerNode: an audio output node with a stereo volume per sound source, for tests.

#include "kits/media/ContinuousParameter.h"
#include "kits/media/Controllable.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// Its web has one group "Output" with a sub-group per source name, each holding a two-channel
// "Volume" from -60 to 20 dB that starts at -20 dB on both channels. Hooks run on whichever
// thread the roster calls them from; the values are guarded by valueLock.
class TestMixerNode : public BControllable {
public:
    static constexpr float MINIMUM = -60;
    static constexpr float MAXIMUM = 20;

    explicit TestMixerNode(const std::vector<std::string>& sources)
        : BMediaNode("Test Mixer")
    {
        auto* web = new BParameterWeb();
        BParameterGroup* output = web->MakeGroup("Output");
        int32 id = 1;
        for (const std::string& source : sources) {
            BContinuousParameter* volume = output->MakeGroup(source.c_str())
                ->MakeContinuousParameter(id, B_MEDIA_RAW_AUDIO, "Volume", B_GAIN, B_UNIT_DB,
                    MINIMUM, MAXIMUM, 0.5f);
            volume->SetChannelCount(2);
            values[id] = {-20, -20};
            names[source] = id++;
        }
        (void)SetParameterWeb(web);
    }

    BMediaAddOn* AddOn(int32* internalId) const override
    {
        if (internalId != nullptr)
            *internalId = 0;
        return nullptr;
    }

    // Both channels of a source's volume as last written.
    std::vector<float> Volume(const std::string& source)
    {
        std::lock_guard<std::mutex> guard(valueLock);
        return values[names[source]];
    }

protected:
    status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
        size_t* ioSize) override
    {
        std::lock_guard<std::mutex> guard(valueLock);
        auto found = values.find(id);
        if (found == values.end() || *ioSize < 2 * sizeof(float))
            return B_BAD_VALUE;
        std::memcpy(value, found->second.data(), 2 * sizeof(float));
        *ioSize = 2 * sizeof(float);
        if (lastChange != nullptr)
            *lastChange = 0;
        return B_OK;
    }

    void SetParameterValue(int32 id, bigtime_t, const void* value, size_t size) override
    {
        std::lock_guard<std::mutex> guard(valueLock);
        auto found = values.find(id);
        if (found != values.end() && size == 2 * sizeof(float))
            std::memcpy(found->second.data(), value, size);
    }

private:
    std::mutex valueLock;
    std::map<int32, std::vector<float>> values;
    std::map<std::string, int32> names;
};
