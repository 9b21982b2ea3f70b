#include "devices/AudioOutputNode.h"

#include "kits/media/ContinuousParameter.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <string_view>

namespace devices {

namespace {

constexpr size_t VOLUME_SIZE = sizeof(StereoVolume);
static_assert(VOLUME_SIZE == 2 * sizeof(float));

}

AudioOutputNode::AudioOutputNode(std::unique_ptr<AudioMixer> newMixer)
    : BMediaNode("Audio Output"),
      mixer(std::move(newMixer))
{
    assert(mixer != nullptr && "an audio output needs a mixer");
    const std::vector<AudioSource>& sources = mixer->Sources();
    lastChanges.assign(sources.size(), 0);
    auto* web = new BParameterWeb();
    BParameterGroup* output = web->MakeGroup("Output");
    for (size_t i = 0; i < sources.size(); i++) {
        const AudioSource& source = sources[i];
        const char* kind = std::string_view(source.name) == "Master" ? B_MASTER_GAIN : B_GAIN;
        output->MakeGroup(source.name.c_str())
            ->MakeContinuousParameter(int32(i), B_MEDIA_RAW_AUDIO, "Volume", kind, source.unit,
                source.minimum, source.maximum, source.step)
            ->SetChannelCount(2);
    }
    (void)SetParameterWeb(web);
}

AudioOutputNode::~AudioOutputNode() = default;

BMediaAddOn* AudioOutputNode::AddOn(int32*) const
{
    return nullptr;
}

status_t AudioOutputNode::GetParameterValue(
    int32 id, bigtime_t* lastChange, void* value, size_t* ioSize)
{
    if (value == nullptr || ioSize == nullptr || *ioSize < VOLUME_SIZE)
        return B_BAD_VALUE;
    std::lock_guard guard(mixerLock);
    if (id < 0 || size_t(id) >= lastChanges.size())
        return B_BAD_VALUE;
    StereoVolume volume{};
    if (status_t status = mixer->Read(size_t(id), volume); status != B_OK)
        return status;
    std::memcpy(value, volume.data(), VOLUME_SIZE);
    *ioSize = VOLUME_SIZE;
    if (lastChange != nullptr)
        *lastChange = lastChanges[size_t(id)];
    return B_OK;
}

void AudioOutputNode::SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size)
{
    if (value == nullptr || size != VOLUME_SIZE)
        return;
    StereoVolume volume{};
    std::memcpy(volume.data(), value, VOLUME_SIZE);
    if (std::isnan(volume[0]) || std::isnan(volume[1]))
        return;
    std::lock_guard guard(mixerLock);
    if (id < 0 || size_t(id) >= lastChanges.size())
        return;
    const AudioSource& source = mixer->Sources()[size_t(id)];
    for (float& channel : volume)
        channel = std::clamp(channel, source.minimum, source.maximum);
    // The hook has no way to report a failed write; the next read shows what the mixer holds.
    if (mixer->Write(size_t(id), volume) == B_OK)
        lastChanges[size_t(id)] = when;
}

}
