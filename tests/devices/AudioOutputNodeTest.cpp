#include "devices/AudioOutputNode.h"

#include "tests/devices/DefaultAudioOutput.h"

#include <gtest/gtest.h>

#include <cmath>

namespace devices::test {
namespace {

// The default audio output on a machine without a sound card.
class AudioOutputNodeTest : public DefaultAudioOutputTest {
protected:
    AudioOutputNodeTest()
        : DefaultAudioOutputTest("standalone")
    {
    }
};

TEST_F(AudioOutputNodeTest, OutputHoldsAStereoVolumeWithinItsRangePerSource)
{
    EXPECT_EQ(Sources(), (std::vector<std::string>{"Master", "Line", "CD", "Mic"}));
    ExpectStereoVolumes(0, 100);
}

TEST_F(AudioOutputNodeTest, KeepsWhatIsWrittenClampedIntoTheRangeForThatSourceOnly)
{
    BContinuousParameter* line = VolumeOf("Line");
    ASSERT_NE(line, nullptr);
    const std::vector<float> master = Read(VolumeOf("Master"));
    const struct {
        std::vector<float> written;
        std::vector<float> read;
    } cases[] = {
        {{5, 10}, {5, 10}},
        {{-1, 150}, {0, 100}},
        // A channel that is no number leaves the volume as it was.
        {{NAN, 20}, {0, 100}},
        {{100, 0}, {100, 0}},
    };
    for (const auto& entry : cases) {
        ASSERT_EQ(Write(line, entry.written), B_OK);
        EXPECT_EQ(Read(line), entry.read) << entry.written[0] << ", " << entry.written[1];
    }
    EXPECT_EQ(Read(VolumeOf("Master")), master);
}

TEST_F(AudioOutputNodeTest, RefusesValuesOfAnotherSizeAndLeavesTheVolume)
{
    BContinuousParameter* line = VolumeOf("Line");
    ASSERT_NE(line, nullptr);
    const std::vector<float> before = Read(line);
    EXPECT_EQ(Write(line, {1}), B_BAD_VALUE);
    EXPECT_EQ(Write(line, {1, 2, 3}), B_BAD_VALUE);
    EXPECT_EQ(Read(line), before);
    float one = 0;
    size_t size = sizeof(one);
    EXPECT_EQ(line->GetValue(&one, &size, nullptr), B_BAD_VALUE);
}

}
}
