#include "devices/AudioMixer.h"

#include "kits/media/Parameter.h"

namespace devices {

namespace {

class StandaloneMixer : public AudioMixer {
public:
    StandaloneMixer()
    {
        for (const char* name : {"Master", "Line", "CD", "Mic"})
            sources.push_back({name, 0, 100, 1, B_UNIT_PERCENT});
        volumes.assign(sources.size(), {50, 50});
    }

    const std::vector<AudioSource>& Sources() const override { return sources; }

    status_t Read(size_t index, StereoVolume& volume) override
    {
        if (index >= volumes.size())
            return B_BAD_INDEX;
        volume = volumes[index];
        return B_OK;
    }

    status_t Write(size_t index, const StereoVolume& volume) override
    {
        if (index >= volumes.size())
            return B_BAD_INDEX;
        volumes[index] = volume;
        return B_OK;
    }

private:
    std::vector<AudioSource> sources;
    std::vector<StereoVolume> volumes;
};

}

std::unique_ptr<AudioMixer> MakeStandaloneMixer()
{
    return std::make_unique<StandaloneMixer>();
}

}
