// Lock order: the main window's lock before this window's; this window never locks the main one.
#include "prefs/Preferences.h"

#include "kits/media/ContinuousParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr BRect PREFERENCES_FRAME(100, 100, 550, 350);
// A remote-control press moves a level by this much (slider units).
constexpr int32 LEVEL_STEP = 5;
// The volume slider runs over per cent of the parameter's range.
constexpr int32 VOLUME_MAXIMUM = 100;

// Whether name begins with prefix: nodes may add to their parameters' and groups' names.
bool HasPrefix(const char* name, const char* prefix)
{
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

// The channels' values, or an empty vector when the parameter cannot be read.
std::vector<float> ReadChannels(BContinuousParameter* parameter)
{
    std::vector<float> values(size_t(std::max<int32>(parameter->CountChannels(), 1)));
    size_t size = values.size() * sizeof(float);
    if (parameter->GetValue(values.data(), &size, nullptr) != B_OK || size == 0)
        return {};
    values.resize(size / sizeof(float));
    return values;
}

// Writes value to every channel, to apply at once.
void WriteChannels(BContinuousParameter* parameter, float value)
{
    const std::vector<float> values(size_t(std::max<int32>(parameter->CountChannels(), 1)),
        value);
    (void)parameter->SetValue(values.data(), values.size() * sizeof(float),
        BTimeSource::RealTime());
}

// The web of the node, or null; node is left null when the roster offers none.
BParameterWeb* WebOf(BMediaRoster* roster, status_t (BMediaRoster::*get)(media_node*),
    media_node& node)
{
    if ((roster->*get)(&node) != B_OK) {
        node = media_node::null;
        return nullptr;
    }
    BParameterWeb* web = nullptr;
    if (roster->GetParameterWebFor(node, &web) != B_OK)
        return nullptr;
    return web;
}

}

Preferences::Preferences(BWindow* mainWindow)
    :
    BWindow(PREFERENCES_FRAME, "Ovelin Preferences", B_TITLED_WINDOW,
        B_NOT_RESIZABLE | B_NOT_ZOOMABLE)
{
    // Where the main window opened is what the settings keep until it moves.
    if (mainWindow != nullptr)
        storedLocation = mainWindow->Frame().LeftTop();
    Lock();
    BindPicture();
    BindVolume();
    // Showing and hiding at once starts the loop while the window stays invisible.
    Show();
    Hide();
    Unlock();
}

Preferences::~Preferences()
{
    BMediaRoster* roster = BMediaRoster::CurrentRoster();
    if (roster == nullptr)
        return;
    for (const media_node& node : {videoInput, audioOutput}) {
        if (node != media_node::null)
            (void)roster->ReleaseNode(node);
    }
}

void Preferences::BindPicture()
{
    BMediaRoster* roster = BMediaRoster::CurrentRoster();
    BParameterWeb* web = roster != nullptr
        ? WebOf(roster, &BMediaRoster::GetVideoInput, videoInput) : nullptr;
    if (web == nullptr)
        return;
    const std::pair<const char*, Level*> levels[] = {
        {"Brightness", &brightness}, {"Contrast", &contrast}, {"Saturation", &saturation}};
    // Every parameter is compared with every name: the last match decides, and one of the wrong
    // kind unbinds.
    for (int32 i = 0; i < web->CountParameters(); i++) {
        BParameter* parameter = web->ParameterAt(i);
        for (const auto& [name, level] : levels) {
            if (HasPrefix(parameter->Name(), name))
                level->parameter = dynamic_cast<BContinuousParameter*>(parameter);
        }
    }
    for (const auto& [name, level] : levels) {
        if (level->parameter == nullptr)
            continue;
        level->minimum = int32(level->parameter->MinValue());
        level->maximum = int32(level->parameter->MaxValue());
        level->position = level->minimum;
        // A value that cannot be read leaves the level at the bottom of its range.
        if (const std::vector<float> values = ReadChannels(level->parameter); !values.empty())
            level->position = std::clamp(int32(values[0]), level->minimum, level->maximum);
    }
}

void Preferences::BindVolume()
{
    BMediaRoster* roster = BMediaRoster::CurrentRoster();
    BParameterWeb* web = roster != nullptr
        ? WebOf(roster, &BMediaRoster::GetAudioOutput, audioOutput) : nullptr;
    if (web == nullptr)
        return;
    BParameterGroup* output = nullptr;
    for (int32 i = 0; i < web->CountGroups(); i++) {
        if (HasPrefix(web->GroupAt(i)->Name(), "Output"))
            output = web->GroupAt(i);
    }
    if (output == nullptr)
        return;
    // The line input is the sound of the TV card; without one there is no volume to step.
    BParameterGroup* line = nullptr;
    for (int32 i = 0; i < output->CountGroups() && line == nullptr; i++) {
        if (HasPrefix(output->GroupAt(i)->Name(), "Line"))
            line = output->GroupAt(i);
    }
    if (line == nullptr)
        return;
    for (int32 i = 0; i < line->CountParameters(); i++) {
        BParameter* parameter = line->ParameterAt(i);
        if (HasPrefix(parameter->Name(), "Volume"))
            volume.parameter = dynamic_cast<BContinuousParameter*>(parameter);
    }
    if (volume.parameter == nullptr)
        return;
    volume.minimum = 0;
    volume.maximum = VOLUME_MAXIMUM;
    const float low = volume.parameter->MinValue();
    const float range = volume.parameter->MaxValue() - low;
    const std::vector<float> values = ReadChannels(volume.parameter);
    if (values.empty() || range <= 0)
        return;
    float sum = 0;
    for (float value : values)
        sum += value;
    const float mean = sum / float(values.size());
    volume.position = std::clamp(int32((mean - low) / range * VOLUME_MAXIMUM), 0, VOLUME_MAXIMUM);
}

int32 Preferences::StepPicture(Level& level, int32 step)
{
    if (level.parameter == nullptr)
        return 0;
    Lock();
    level.position = std::clamp(level.position + step, level.minimum, level.maximum);
    const int32 position = level.position;
    Unlock();
    // Written outside the lock: the write waits for the node's own thread.
    WriteChannels(level.parameter, float(position));
    const float low = level.parameter->MinValue();
    const float range = level.parameter->MaxValue() - low;
    if (range <= 0)
        return 0;
    return std::clamp(int32((float(position) - low) / range * 100), 0, 100);
}

int32 Preferences::StepVolume(int32 step)
{
    if (volume.parameter == nullptr)
        return 0;
    Lock();
    volume.position = std::clamp(volume.position + step, volume.minimum, volume.maximum);
    const int32 position = volume.position;
    Unlock();
    const float low = volume.parameter->MinValue();
    const float high = volume.parameter->MaxValue();
    WriteChannels(volume.parameter, low + float(position) / VOLUME_MAXIMUM * (high - low));
    return position;
}

int32 Preferences::VolumeUp()
{
    return StepVolume(LEVEL_STEP);
}

int32 Preferences::VolumeDown()
{
    return StepVolume(-LEVEL_STEP);
}

int32 Preferences::BrightnessUp()
{
    return StepPicture(brightness, LEVEL_STEP);
}

int32 Preferences::BrightnessDown()
{
    return StepPicture(brightness, -LEVEL_STEP);
}

int32 Preferences::ContrastUp()
{
    return StepPicture(contrast, LEVEL_STEP);
}

int32 Preferences::ContrastDown()
{
    return StepPicture(contrast, -LEVEL_STEP);
}

int32 Preferences::SaturationUp()
{
    return StepPicture(saturation, LEVEL_STEP);
}

int32 Preferences::SaturationDown()
{
    return StepPicture(saturation, -LEVEL_STEP);
}

bool Preferences::QuitRequested()
{
    while (!IsHidden())
        Hide();
    return false;
}

int32 Preferences::GetDeInterlace() const
{
    return deInterlace;
}

bool Preferences::GetSubtitleFtr() const
{
    return subtitleFilter;
}

int32 Preferences::GetResolution() const
{
    return resolution;
}

bool Preferences::GetTweakMode() const
{
    return tweakMode;
}

bool Preferences::GetAdaptSync() const
{
    return adaptSync;
}

bool Preferences::GetDblRefresh() const
{
    return doubleRefresh;
}

void Preferences::StoreNewLocation(BPoint location)
{
    storedLocation = location;
}

BPoint Preferences::StoredLocation() const
{
    return storedLocation;
}
