#include "tests/support/MixerNode.h"

#include "kits/media/ContinuousParameter.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

#include <algorithm>
#include <cstring>

namespace test_support {

namespace {

constexpr size_t VOLUME_SIZE = 2 * sizeof(float);

} // namespace

TestMixerNode::TestMixerNode(const std::vector<std::string>& sources)
    : BMediaNode("Test Mixer"), sources(sources), volumes(sources.size(), {-20, -20})
{
    auto* web = new BParameterWeb();
    BParameterGroup* output = web->MakeGroup("Output");
    for (size_t i = 0; i < sources.size(); i++) {
        output->MakeGroup(sources[i].c_str())
            ->MakeContinuousParameter(int32(i), B_MEDIA_RAW_AUDIO, "Volume", B_GAIN, B_UNIT_DB,
                -60, 20, 0.5f)
            ->SetChannelCount(2);
    }
    (void)SetParameterWeb(web);
}

BMediaAddOn* TestMixerNode::AddOn(int32* internalId) const
{
    if (internalId != nullptr)
        *internalId = 0;
    return nullptr;
}

std::vector<float> TestMixerNode::Volume(const std::string& source)
{
    const auto found = std::find(sources.begin(), sources.end(), source);
    std::lock_guard<std::mutex> guard(valueLock);
    return volumes.at(size_t(found - sources.begin()));
}

status_t TestMixerNode::GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
    size_t* ioSize)
{
    if (id < 0 || size_t(id) >= volumes.size() || *ioSize < VOLUME_SIZE)
        return B_BAD_VALUE;
    std::lock_guard<std::mutex> guard(valueLock);
    std::memcpy(value, volumes[size_t(id)].data(), VOLUME_SIZE);
    *ioSize = VOLUME_SIZE;
    if (lastChange != nullptr)
        *lastChange = 0;
    return B_OK;
}

void TestMixerNode::SetParameterValue(int32 id, bigtime_t, const void* value, size_t size)
{
    std::lock_guard<std::mutex> guard(valueLock);
    if (id >= 0 && size_t(id) < volumes.size() && size == VOLUME_SIZE)
        std::memcpy(volumes[size_t(id)].data(), value, size);
}

} // namespace test_support
