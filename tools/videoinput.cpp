// videoinput: lists the video capture devices and sound mixers and sets the ones the viewer uses.
//
//     videoinput               the devices, the one in use marked with "*"
//     videoinput set DEVICE    use DEVICE (a path such as /dev/video1, or "test-card")
//     videoinput auto          the first device with a tuner, else the first one
//     videoinput plan PLAN     the channels a tuner offers on 525-line standards: "broadcast"
//                              (the default) or "cable"
//     videoinput audio         the sound cards and their sources, the mixer in use marked
//     videoinput audio set CARD    use the mixer of CARD (such as hw:1), or "standalone"
//     videoinput audio auto    the first card with a volume, else the mixer that stands alone
//
// The choices are kept in the setting files "/boot/home/config/settings/Media/Video Input",
// "/boot/home/config/settings/Media/Channel Plan" and "/boot/home/config/settings/Media/Audio
// Output"; the viewer reads them as it starts.

#include "devices/AudioOutputSelection.h"
#include "devices/VideoInputSelection.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: videoinput [set DEVICE | auto | plan broadcast|cable]\n"
                         "       videoinput audio [set CARD | auto]\n");
    return 2;
}

int List()
{
    const std::vector<devices::ProbedVideoDevice> found = devices::ProbeVideoDevices();
    const std::string setting = devices::VideoInputPreference();
    const std::optional<std::string> chosen = devices::ChooseVideoInput(found, setting);
    for (const devices::ProbedVideoDevice& device : found) {
        std::printf("%c %-14s %-32s %s\n", chosen == device.path ? '*' : ' ',
            device.path.c_str(), device.card.c_str(), device.hasTuner ? "tuner" : "no tuner");
    }
    std::printf("%c %-14s %s\n", chosen.has_value() ? ' ' : '*',
        std::string(devices::VIDEO_INPUT_TEST_CARD).c_str(), "built-in test signal card");
    if (!setting.empty() && setting != devices::VIDEO_INPUT_TEST_CARD
        && chosen != setting) {
        std::printf("(%s is set but not there)\n", setting.c_str());
    }
    std::printf("channel plan on 525 lines: %s\n",
        std::string(devices::CablePlanChosen() ? devices::CHANNEL_PLAN_CABLE
                                               : devices::CHANNEL_PLAN_BROADCAST)
            .c_str());
    return 0;
}

int SetPlan(const std::string& value)
{
    if (value != devices::CHANNEL_PLAN_CABLE && value != devices::CHANNEL_PLAN_BROADCAST)
        return Usage();
    if (devices::WriteChannelPlanSetting(value) != B_OK) {
        std::fprintf(stderr, "videoinput: the setting could not be written\n");
        return 1;
    }
    return List();
}

int Set(const std::string& value)
{
    if (!value.empty() && value != devices::VIDEO_INPUT_TEST_CARD) {
        const std::vector<devices::ProbedVideoDevice> found = devices::ProbeVideoDevices();
        const bool known = std::any_of(found.begin(), found.end(),
            [&](const devices::ProbedVideoDevice& device) { return device.path == value; });
        if (!known) {
            std::fprintf(stderr, "videoinput: %s is no video capture device\n", value.c_str());
            return 1;
        }
    }
    if (devices::WriteVideoInputSetting(value) != B_OK) {
        std::fprintf(stderr, "videoinput: the setting could not be written\n");
        return 1;
    }
    return List();
}

int ListAudio()
{
    const std::vector<devices::ProbedSoundCard> found = devices::ProbeSoundCards();
    const std::string setting = devices::AudioOutputPreference();
    const std::optional<std::string> chosen = devices::ChooseAudioOutput(found, setting);
    for (const devices::ProbedSoundCard& card : found) {
        std::string sources;
        for (const std::string& source : card.sources)
            sources += (sources.empty() ? "" : ", ") + source;
        std::printf("%c %-10s %-24s %s\n", chosen == card.id ? '*' : ' ', card.id.c_str(),
            card.name.c_str(), sources.empty() ? "no volume" : sources.c_str());
    }
    std::printf("%c %-10s %s\n", chosen.has_value() ? ' ' : '*',
        std::string(devices::AUDIO_OUTPUT_STANDALONE).c_str(),
        "the mixer that stands alone (Master, Line, CD, Mic)");
    if (!setting.empty() && setting != devices::AUDIO_OUTPUT_STANDALONE && chosen != setting)
        std::printf("(%s is set but not there)\n", setting.c_str());
    return 0;
}

int SetAudio(const std::string& value)
{
    if (!value.empty() && value != devices::AUDIO_OUTPUT_STANDALONE) {
        const std::vector<devices::ProbedSoundCard> found = devices::ProbeSoundCards();
        const bool known = std::any_of(found.begin(), found.end(),
            [&](const devices::ProbedSoundCard& card) {
                return card.id == value && !card.sources.empty();
            });
        if (!known) {
            std::fprintf(stderr, "videoinput: %s is no sound card with a volume\n",
                value.c_str());
            return 1;
        }
    }
    if (devices::WriteAudioOutputSetting(value) != B_OK) {
        std::fprintf(stderr, "videoinput: the setting could not be written\n");
        return 1;
    }
    return ListAudio();
}

}

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return List();
    if (args.size() == 1 && args[0] == "auto")
        return Set("");
    if (args.size() == 2 && args[0] == "set")
        return Set(args[1]);
    if (args.size() == 2 && args[0] == "plan")
        return SetPlan(args[1]);
    if (args.size() == 1 && args[0] == "audio")
        return ListAudio();
    if (args.size() == 2 && args[0] == "audio" && args[1] == "auto")
        return SetAudio("");
    if (args.size() == 3 && args[0] == "audio" && args[1] == "set")
        return SetAudio(args[2]);
    return Usage();
}
