#pragma once
// Which capture device becomes the default video input: probing, choosing and the user's setting,
// and the one-line setting files that keep every stored device choice.

#include "kits/kernel/SupportDefs.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devices {

// The setting file naming the device to use: one line holding a device path, or
// VIDEO_INPUT_TEST_CARD for the built-in test signal card.
inline constexpr const char* VIDEO_INPUT_SETTING = "/boot/home/config/settings/Media/Video Input";
inline constexpr std::string_view VIDEO_INPUT_TEST_CARD = "test-card";

// The setting file choosing the channels a tuner offers on 525-line standards: one line holding
// CHANNEL_PLAN_CABLE for the US cable plan, or CHANNEL_PLAN_BROADCAST (or nothing) for the
// broadcast one. Other standards have one plan only.
inline constexpr const char* CHANNEL_PLAN_SETTING = "/boot/home/config/settings/Media/Channel Plan";
inline constexpr std::string_view CHANNEL_PLAN_CABLE = "cable";
inline constexpr std::string_view CHANNEL_PLAN_BROADCAST = "broadcast";

// A video capture device as probing found it.
struct ProbedVideoDevice {
    std::string path;
    std::string card;
    bool hasTuner = false;
    // Where the device sits (a USB port, a PCI slot), as its driver names it.
    std::string busInfo;
};

// Opens every "videoN" in `directory` in the order of N and lists those that capture video.
// Devices that cannot be opened (busy, no permission, no capture) are left out.
std::vector<ProbedVideoDevice> ProbeVideoDevices(const std::string& directory = "/dev");

// The device to use: the preferred one when it is among `devices`, else the first with a tuner,
// else the first; none (the test signal card) when there is no device or the preference is
// VIDEO_INPUT_TEST_CARD. A preferred device that is missing (unplugged) is passed over.
std::optional<std::string> ChooseVideoInput(const std::vector<ProbedVideoDevice>& devices,
    std::string_view preferred);

// Where a device that went away has come back (a USB stick plugged in again may get another
// /dev/videoN): the device of this card at this bus position, else the only device of this card
// (plugged into another port); nothing when there is none or several could be it.
std::optional<std::string> FindDeviceAgain(const std::vector<ProbedVideoDevice>& devices,
    std::string_view card, std::string_view busInfo);

// A stored device choice: the first line of the setting file at `path`, surrounding blanks
// removed; empty when the file is missing, too long or damaged.
std::string ReadSettingLine(const char* path);
// Stores `value` as the one line of the setting file at `path`; an empty value empties the file,
// leaving the choice to the default. B_BAD_VALUE for a value of several lines.
[[nodiscard]] status_t WriteSettingLine(const char* path, std::string_view value);
// The choice asked for: the environment variable `variable` when set (tests set one, so a
// developer's own device never stands in for the test double), else the setting at `path`.
std::string SettingPreference(const char* variable, const char* path);

// The setting's value, surrounding blanks removed; empty when there is no usable setting file.
std::string ReadVideoInputSetting();
// The device asked for: $OVELIN_VIDEO_INPUT when set (tests set it to VIDEO_INPUT_TEST_CARD,
// so a developer's own capture device never stands in for the test card), else the setting.
std::string VideoInputPreference();
// Stores `value` as the setting; an empty value empties the file, leaving the choice to
// probing. B_BAD_VALUE for a value of several lines.
[[nodiscard]] status_t WriteVideoInputSetting(std::string_view value);

// True when the channel plan setting asks for the cable plan; anything else, a missing or a
// damaged file, means broadcast.
bool CablePlanChosen();
// Stores the channel plan setting: CHANNEL_PLAN_CABLE, CHANNEL_PLAN_BROADCAST, or empty for
// the broadcast plan by default. B_BAD_VALUE for any other value, leaving the file as it was.
[[nodiscard]] status_t WriteChannelPlanSetting(std::string_view value);

}
