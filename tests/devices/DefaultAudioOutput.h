#pragma once
// The default audio output's "Output" group as the program reaches it, through the roster.

#include "devices/DefaultNodes.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace devices::test {

// Registers the default nodes with the audio output preference `preference` ("standalone",
// "hw:0") and finds the output group of the node the roster makes.
class DefaultAudioOutputTest : public testing::Test {
protected:
    explicit DefaultAudioOutputTest(const char* preference)
        : preference(preference)
    {
    }

    void SetUp() override
    {
        setenv("OVELIN_AUDIO_OUTPUT", preference, 1);
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        kits::media::ResetDefaultNodes();
        ASSERT_EQ(RegisterDefaultNodes(), B_OK);
        ASSERT_EQ(roster->GetAudioOutput(&node), B_OK);
        BParameterWeb* web = nullptr;
        ASSERT_EQ(roster->GetParameterWebFor(node, &web), B_OK);
        ASSERT_NE(web, nullptr);
        ASSERT_EQ(web->CountGroups(), 1);
        output = web->GroupAt(0);
        ASSERT_STREQ(output->Name(), "Output");
        EXPECT_EQ(output->CountParameters(), 0);
    }

    void TearDown() override
    {
        roster->ReleaseNode(node);
        kits::media::ResetDefaultNodes();
    }

    std::vector<std::string> Sources() const
    {
        std::vector<std::string> names;
        for (int32 i = 0; i < output->CountGroups(); i++)
            names.push_back(output->GroupAt(i)->Name());
        return names;
    }

    // The source's one parameter when it is a continuous one, else null.
    BContinuousParameter* VolumeOf(const std::string& source) const
    {
        for (int32 i = 0; i < output->CountGroups(); i++) {
            BParameterGroup* group = output->GroupAt(i);
            if (group->Name() == source && group->CountParameters() == 1)
                return dynamic_cast<BContinuousParameter*>(group->ParameterAt(0));
        }
        return nullptr;
    }

    static std::vector<float> Read(BContinuousParameter* volume)
    {
        std::vector<float> value(2);
        size_t size = 2 * sizeof(float);
        EXPECT_EQ(volume->GetValue(value.data(), &size, nullptr), B_OK);
        EXPECT_EQ(size, 2 * sizeof(float));
        return value;
    }

    static status_t Write(BContinuousParameter* volume, const std::vector<float>& value)
    {
        return volume->SetValue(value.data(), value.size() * sizeof(float), 0);
    }

    // Every source's "Volume" has two channels and the range `minimum` to `maximum`.
    void ExpectStereoVolumes(float minimum, float maximum) const
    {
        for (const std::string& source : Sources()) {
            BContinuousParameter* volume = VolumeOf(source);
            ASSERT_NE(volume, nullptr) << source;
            EXPECT_STREQ(volume->Name(), "Volume");
            EXPECT_EQ(volume->CountChannels(), 2);
            EXPECT_EQ(volume->MinValue(), minimum) << source;
            EXPECT_EQ(volume->MaxValue(), maximum) << source;
            for (float channel : Read(volume)) {
                EXPECT_GE(channel, minimum) << source;
                EXPECT_LE(channel, maximum) << source;
            }
        }
    }

    const char* preference;
    BMediaRoster* roster = nullptr;
    media_node node;
    BParameterGroup* output = nullptr;
};

}
