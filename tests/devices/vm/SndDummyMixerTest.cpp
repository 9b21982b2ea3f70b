// The default audio output on the mixer of the kernel's snd-dummy card, checked against a second
// ALSA handle of its own.

#include "tests/devices/DefaultAudioOutput.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

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
        EXPECT_EQ(snd_mixer_selem_set_playback_volume(line, SND_MIXER_SCHN_FRONT_RIGHT, right), 0);
    }

private:
    struct Closer {
        void operator()(snd_mixer_t* handle) const { snd_mixer_close(handle); }
    };
    std::unique_ptr<snd_mixer_t, Closer> mixer;
    snd_mixer_elem_t* line = nullptr;
};

class SndDummyMixerTest : public DefaultAudioOutputTest {
protected:
    SndDummyMixerTest()
        : DefaultAudioOutputTest("hw:0")
    {
    }
};

TEST_F(SndDummyMixerTest, OutputHoldsTheCardsVolumeElementsInTheMixersOrder)
{
    EXPECT_EQ(Sources(), (std::vector<std::string>{"Master", "Synth", "Line", "CD", "Mic"}));
    ExpectStereoVolumes(-50, 100);
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
        ASSERT_EQ(Write(line, entry.written), B_OK);
        EXPECT_EQ(second.Line(), entry.held);
    }
    // Another program's change shows at the node's next read.
    second.SetLine(-20, 40);
    EXPECT_EQ(Read(line), (std::vector<float>{-20, 40}));
}

}
}
