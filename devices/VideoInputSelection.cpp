#include "devices/VideoInputSelection.h"

#include "devices/V4l2Device.h"
#include "kits/storage/File.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <dirent.h>

namespace devices {

namespace {

// A setting longer than this is no device path.
constexpr off_t MAX_SETTING_BYTES = 4096;

// The N of "videoN", or nothing for another name.
std::optional<uint32> DeviceNumber(std::string_view name)
{
    constexpr std::string_view PREFIX = "video";
    if (name.size() <= PREFIX.size() || name.substr(0, PREFIX.size()) != PREFIX)
        return std::nullopt;
    const std::string_view digits = name.substr(PREFIX.size());
    uint32 number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(),
        number);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view BLANKS = " \t\r\n";
    const size_t first = text.find_first_not_of(BLANKS);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
}

}

std::vector<ProbedVideoDevice> ProbeVideoDevices(const std::string& directory)
{
    std::vector<std::pair<uint32, std::string>> names;
    if (DIR* folder = opendir(directory.c_str()); folder != nullptr) {
        while (const dirent* entry = readdir(folder)) {
            if (const auto number = DeviceNumber(entry->d_name))
                names.emplace_back(*number, entry->d_name);
        }
        closedir(folder);
    }
    std::sort(names.begin(), names.end());
    std::vector<ProbedVideoDevice> devices;
    for (const auto& [number, name] : names) {
        V4l2Device device;
        ProbedVideoDevice probed;
        probed.path = directory + "/" + name;
        if (device.Open(probed.path) != B_OK)
            continue;
        probed.card = device.Card();
        probed.busInfo = device.BusInfo();
        std::vector<V4l2Input> inputs;
        if (device.GetInputs(inputs) == B_OK) {
            probed.hasTuner = std::any_of(inputs.begin(), inputs.end(),
                [](const V4l2Input& input) { return input.hasTuner; });
        }
        devices.push_back(std::move(probed));
    }
    return devices;
}

std::optional<std::string> ChooseVideoInput(const std::vector<ProbedVideoDevice>& devices,
    std::string_view preferred)
{
    if (preferred == VIDEO_INPUT_TEST_CARD)
        return std::nullopt;
    for (const ProbedVideoDevice& device : devices) {
        if (!preferred.empty() && device.path == preferred)
            return device.path;
    }
    for (const ProbedVideoDevice& device : devices) {
        if (device.hasTuner)
            return device.path;
    }
    if (!devices.empty())
        return devices.front().path;
    return std::nullopt;
}

std::optional<std::string> FindDeviceAgain(const std::vector<ProbedVideoDevice>& devices,
    std::string_view card, std::string_view busInfo)
{
    const ProbedVideoDevice* sameCard = nullptr;
    int32 sameCardCount = 0;
    for (const ProbedVideoDevice& device : devices) {
        if (device.card != card)
            continue;
        if (!busInfo.empty() && device.busInfo == busInfo)
            return device.path;
        sameCard = &device;
        sameCardCount++;
    }
    if (sameCardCount == 1)
        return sameCard->path;
    return std::nullopt;
}

std::string ReadSettingLine(const char* path)
{
    BFile file(path, B_READ_ONLY);
    off_t size = 0;
    if (file.InitCheck() != B_OK || file.GetSize(&size) != B_OK || size > MAX_SETTING_BYTES)
        return {};
    std::string text(size_t(size), '\0');
    if (file.ReadAt(0, text.data(), text.size()) != ssize_t(text.size()))
        return {};
    // Only the first line counts; a setting holding a NUL byte is damaged.
    const std::string_view line = std::string_view(text).substr(0, text.find('\n'));
    if (line.find('\0') != std::string_view::npos)
        return {};
    return std::string(Trimmed(line));
}

status_t WriteSettingLine(const char* path, std::string_view value)
{
    const std::string_view trimmed = Trimmed(value);
    if (trimmed.find('\n') != std::string_view::npos
        || trimmed.find('\0') != std::string_view::npos) {
        return B_BAD_VALUE;
    }
    BFile file(path, B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
    if (status_t status = file.InitCheck(); status != B_OK)
        return status;
    // An empty file leaves the choice to the default.
    const std::string line = trimmed.empty() ? std::string() : std::string(trimmed) + "\n";
    const ssize_t written = file.Write(line.data(), line.size());
    if (written < 0)
        return status_t(written);
    return written == ssize_t(line.size()) ? B_OK : B_IO_ERROR;
}

std::string SettingPreference(const char* variable, const char* path)
{
    if (const char* value = std::getenv(variable); value != nullptr)
        return std::string(Trimmed(value));
    return ReadSettingLine(path);
}

std::string ReadVideoInputSetting()
{
    return ReadSettingLine(VIDEO_INPUT_SETTING);
}

std::string VideoInputPreference()
{
    return SettingPreference("OVELIN_VIDEO_INPUT", VIDEO_INPUT_SETTING);
}

status_t WriteVideoInputSetting(std::string_view value)
{
    return WriteSettingLine(VIDEO_INPUT_SETTING, value);
}

bool CablePlanChosen()
{
    return ReadSettingLine(CHANNEL_PLAN_SETTING) == CHANNEL_PLAN_CABLE;
}

status_t WriteChannelPlanSetting(std::string_view value)
{
    const std::string_view trimmed = Trimmed(value);
    if (!trimmed.empty() && trimmed != CHANNEL_PLAN_CABLE && trimmed != CHANNEL_PLAN_BROADCAST)
        return B_BAD_VALUE;
    return WriteSettingLine(CHANNEL_PLAN_SETTING, trimmed);
}

}
