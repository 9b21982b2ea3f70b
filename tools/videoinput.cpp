// videoinput: lists the video capture devices and sets the one the viewer uses.
//
//     videoinput               the devices, the one in use marked with "*"
//     videoinput set DEVICE    use DEVICE (a path such as /dev/video1, or "test-card")
//     videoinput auto          the first device with a tuner, else the first one
//     videoinput plan PLAN     the channels a tuner offers on 525-line standards: "broadcast"
//                              (the default) or "cable"
//
// The choices are kept in the setting files "/boot/home/config/settings/Media/Video Input" and
// "/boot/home/config/settings/Media/Channel Plan"; the viewer reads them as it starts.

#include "devices/VideoInputSelection.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: videoinput [set DEVICE | auto | plan broadcast|cable]\n");
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
    return Usage();
}
