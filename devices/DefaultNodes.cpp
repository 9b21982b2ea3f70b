#include "devices/DefaultNodes.h"

#include "devices/AudioMixer.h"
#include "devices/AudioOutputNode.h"
#include "devices/AudioOutputSelection.h"
#include "devices/TestCardNode.h"
#include "devices/V4l2CaptureNode.h"
#include "devices/VideoInputSelection.h"
#include "kits/media/MediaDevices.h"

#include <memory>

namespace devices {

namespace {

// Probes the devices when the roster first asks for the video input; null hands over to the
// test card.
BMediaNode* MakeCaptureNode()
{
    const std::string preferred = VideoInputPreference();
    if (preferred == VIDEO_INPUT_TEST_CARD)
        return nullptr;
    const std::optional<std::string> path = ChooseVideoInput(ProbeVideoDevices(), preferred);
    if (!path.has_value())
        return nullptr;
    auto node = std::make_unique<V4l2CaptureNode>(*path, CablePlanChosen());
    if (node->InitCheck() != B_OK)
        return nullptr;
    return node.release();
}

// Opens the chosen card's mixer when the roster first asks for the audio output; null hands
// over to the mixer that stands alone.
BMediaNode* MakeSoundCardMixerNode()
{
    const std::string preferred = AudioOutputPreference();
    if (preferred == AUDIO_OUTPUT_STANDALONE)
        return nullptr;
    const std::optional<std::string> card = ChooseAudioOutput(ProbeSoundCards(), preferred);
    if (!card.has_value())
        return nullptr;
    std::unique_ptr<AudioMixer> mixer = OpenAlsaMixer(*card);
    if (mixer == nullptr)
        return nullptr;
    return new AudioOutputNode(std::move(mixer));
}

status_t RegisterAudioOutputs()
{
    if (status_t status = media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT,
            [] { return static_cast<BMediaNode*>(new AudioOutputNode(MakeStandaloneMixer())); },
            STANDALONE_MIXER_PRIORITY);
        status != B_OK) {
        return status;
    }
    return media_register_default_node(MEDIA_DEFAULT_AUDIO_OUTPUT, MakeSoundCardMixerNode,
        SOUND_CARD_MIXER_PRIORITY);
}

}

status_t RegisterDefaultNodes()
{
    // The roster takes the creator's reference of the node it asks for.
    if (status_t status = media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
            [] { return static_cast<BMediaNode*>(new TestCardNode()); }, TEST_CARD_PRIORITY);
        status != B_OK) {
        return status;
    }
    if (status_t status = media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
            MakeCaptureNode, V4L2_CAPTURE_PRIORITY);
        status != B_OK) {
        return status;
    }
    return RegisterAudioOutputs();
}

}
