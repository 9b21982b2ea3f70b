#include "devices/AudioOutputNode.h"

#include "devices/DefaultNodes.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace devices::test {
namespace {

// The default audio output as the program gets it, on a machine without a sound card.
class AudioOutputNodeTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("OVELIN_AUDIO_OUTPUT", "standalone", 1);
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        kits::media::ResetDefaultNodes();
        ASSERT_EQ(RegisterDefaultNodes(), B_OK);
        ASSERT_EQ(roster->GetAudioOutput(&node), B_OK);
        ASSERT_EQ(roster->GetParameterWebFor(node, &web), B_OK);
        ASSERT_NE(web, nullptr);
        ASSERT_EQ(web->CountGroups(), 1);
        output = web->GroupAt(0);
    }

    void TearDown() override
    {
        roster->ReleaseNode(node);
        kits::media::ResetDefaultNodes();
    }

    BContinuousParameter* VolumeOf(int32 source) const
    {
        BParameterGroup* group = output->GroupAt(source);
        return group != nullptr && group->CountParameters() == 1
            ? dynamic_cast<BContinuousParameter*>(group->ParameterAt(0))
            : nullptr;
    }

    std::vector<float> Read(int32 source) const
    {
        std::vector<float> value(2);
        size_t size = sizeof(float) * value.size();
        EXPECT_EQ(VolumeOf(source)->GetValue(value.data(), &size, nullptr), B_OK);
        EXPECT_EQ(size, 2 * sizeof(float));
        return value;
    }

    BMediaRoster* roster = nullptr;
    media_node node;
    BParameterWeb* web = nullptr;
    BParameterGroup* output = nullptr;
};

TEST_F(AudioOutputNodeTest, OutputHoldsAStereoVolumeWithinItsRangePerSource)
{
    EXPECT_STREQ(output->Name(), "Output");
    EXPECT_EQ(output->CountParameters(), 0);
    std::vector<std::string> names;
    for (int32 i = 0; i < output->CountGroups(); i++) {
        names.push_back(output->GroupAt(i)->Name());
        BContinuousParameter* volume = VolumeOf(i);
        ASSERT_NE(volume, nullptr) << names.back();
        EXPECT_STREQ(volume->Name(), "Volume");
        EXPECT_EQ(volume->CountChannels(), 2);
        EXPECT_LT(volume->MinValue(), volume->MaxValue());
        for (float channel : Read(i)) {
            EXPECT_GE(channel, volume->MinValue());
            EXPECT_LE(channel, volume->MaxValue());
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Master", "Line", "CD", "Mic"}));
}

TEST_F(AudioOutputNodeTest, KeepsWhatIsWrittenClampedIntoTheRangeForThatSourceOnly)
{
    BContinuousParameter* line = VolumeOf(1);
    const float minimum = line->MinValue();
    const float maximum = line->MaxValue();
    const std::vector<float> master = Read(0);
    const struct {
        std::vector<float> written;
        std::vector<float> read;
    } cases[] = {
        {{5, 10}, {5, 10}},
        {{minimum - 1, maximum + 50}, {minimum, maximum}},
        // A channel that is no number leaves the volume as it was.
        {{NAN, 20}, {minimum, maximum}},
        {{maximum, minimum}, {maximum, minimum}},
    };
    for (const auto& entry : cases) {
        ASSERT_EQ(line->SetValue(entry.written.data(), 2 * sizeof(float), 0), B_OK);
        EXPECT_EQ(Read(1), entry.read) << entry.written[0] << ", " << entry.written[1];
    }
    EXPECT_EQ(Read(0), master);
}

TEST_F(AudioOutputNodeTest, RefusesValuesOfAnotherSizeAndLeavesTheVolume)
{
    BContinuousParameter* line = VolumeOf(1);
    const std::vector<float> before = Read(1);
    const float values[3] = {1, 2, 3};
    for (size_t size : {sizeof(float), 3 * sizeof(float)})
        EXPECT_EQ(line->SetValue(values, size, 0), B_BAD_VALUE) << size;
    EXPECT_EQ(Read(1), before);
    float one = 0;
    size_t size = sizeof(one);
    EXPECT_EQ(line->GetValue(&one, &size, nullptr), B_BAD_VALUE);
}

}
}
