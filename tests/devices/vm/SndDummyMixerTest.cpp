// The default audio output on the mixer of the kernel's snd-dummy card, checked against a second
// ALSA handle of its own.

#include "devices/DefaultNodes.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace devices::test {
namespace {

// The "Line" element of card 0, through a mixer handle independent of the node's.
class SecondMixer {
public:
    SecondMixer()
    {
        snd_mixer_t* opened = nullptr;
        if (snd_mixer_open(&opened, 0) < 0)
            return;
        mixer.reset(opened);
        if (snd_mixer_attach(opened, "hw:0") < 0
            || snd_mixer_selem_register(opened, nullptr, nullptr) < 0
            || snd_mixer_load(opened) < 0) {
            return;
        }
        // Reading pending events must not wait for one.
        snd_hctl_t* hctl = nullptr;
        if (snd_mixer_get_hctl(opened, "hw:0", &hctl) < 0 || snd_hctl_nonblock(hctl, 1) < 0)
            return;
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_name(id, "Line");
        line = snd_mixer_find_selem(opened, id);
    }

    bool Ready() const { return line != nullptr; }

    std::vector<long> Line()
    {
        std::vector<long> values(2);
        // Takes in the node's writes, which reach this handle as events.
        snd_mixer_handle_events(mixer.get());
        snd_mixer_selem_get_playback_volume(line, SND_MIXER_SCHN_FRONT_LEFT, &values[0]);
        snd_mixer_selem_get_playback_volume(line, SND_MIXER_SCHN_FRONT_RIGHT, &values[1]);
        return values;
    }

    void SetLine(long left, long right)
    {
        EXPECT_EQ(snd_mixer_selem_set_playback_volume(line, SND_MIXER_SCHN_FRONT_LEFT, left), 0);
        EXPECT_EQ(snd_mixer_selem_set_playback_volume(line, SND_MIXER_SCHN_FRONT_RIGHT, right),
            0);
    }

private:
    struct Closer {
        void operator()(snd_mixer_t* handle) const { snd_mixer_close(handle); }
    };
    std::unique_ptr<snd_mixer_t, Closer> mixer;
    snd_mixer_elem_t* line = nullptr;
};

class SndDummyMixerTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("OVELIN_AUDIO_OUTPUT", "hw:0", 1);
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
    }

    void TearDown() override
    {
        roster->ReleaseNode(node);
        kits::media::ResetDefaultNodes();
    }

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
        return value;
    }

    BMediaRoster* roster = nullptr;
    media_node node;
    BParameterGroup* output = nullptr;
};

TEST_F(SndDummyMixerTest, OutputHoldsTheCardsVolumeElementsInTheMixersOrder)
{
    std::vector<std::string> names;
    for (int32 i = 0; i < output->CountGroups(); i++) {
        names.push_back(output->GroupAt(i)->Name());
        BContinuousParameter* volume = VolumeOf(names.back());
        ASSERT_NE(volume, nullptr) << names.back();
        EXPECT_STREQ(volume->Name(), "Volume");
        EXPECT_EQ(volume->CountChannels(), 2);
        EXPECT_EQ(volume->MinValue(), -50) << names.back();
        EXPECT_EQ(volume->MaxValue(), 100) << names.back();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Master", "Synth", "Line", "CD", "Mic"}));
}

TEST_F(SndDummyMixerTest, TheNodesVolumeIsTheCardsBothWays)
{
    SecondMixer second;
    ASSERT_TRUE(second.Ready());
    BContinuousParameter* line = VolumeOf("Line");
    ASSERT_NE(line, nullptr);
    const struct {
        std::vector<float> written;
        std::vector<long> held;
    } cases[] = {{{5, 10}, {5, 10}}, {{-80, 130}, {-50, 100}}};
    for (const auto& entry : cases) {
        ASSERT_EQ(line->SetValue(entry.written.data(), 2 * sizeof(float), 0), B_OK);
        EXPECT_EQ(second.Line(), entry.held);
    }
    // Another program's change shows at the node's next read.
    second.SetLine(-20, 40);
    EXPECT_EQ(Read(line), (std::vector<float>{-20, 40}));
}

}
}
