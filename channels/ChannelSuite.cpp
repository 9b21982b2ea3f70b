// Lock order: the main window's lock before this window's; this window never locks the main one.
#include "channels/ChannelSuite.h"

#include "kits/app/Message.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "kits/storage/File.h"
#include "video/ParameterAccess.h"
#include "video/TVView.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

constexpr BRect SUITE_FRAME(50, 100, 360, 400);
constexpr const char* PRESETS_PATH = "/boot/home/config/settings/Media/presets";
// The suite's own command: the selection moved to another preset.
constexpr uint32 SUITE_PRESET_SELECTED = 0x10000;

BDiscreteParameter* AsDiscrete(BParameter* parameter)
{
    return dynamic_cast<BDiscreteParameter*>(parameter);
}

}

ChannelSuite::ChannelSuite(TVView* view, int32* tunerStatus)
    :
    BWindow(SUITE_FRAME, "Channel Suite", B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
    tvView(view)
{
    DiscoverTuner();
    Lock();
    // The constructor runs with the video view's window locked, so its window is settled.
    if (tvView != nullptr && tvView->Window() != nullptr)
        mainWindow = BMessenger(nullptr, tvView->Window());
    if (tunerState != TUNER_PRESENT) {
        Unlock();
        channelParam = nullptr;
        *tunerStatus = -1;
        return;
    }
    LoadPresets();
    // Showing and hiding at once starts the loop while the window stays invisible.
    Show();
    Hide();
    Unlock();
    *tunerStatus = 0;
}

ChannelSuite::~ChannelSuite()
{
    if (BMediaRoster* roster = BMediaRoster::CurrentRoster();
        roster != nullptr && videoInput != media_node::null) {
        (void)roster->ReleaseNode(videoInput);
    }
}

bool ChannelSuite::QuitRequested()
{
    while (!IsHidden())
        Hide();
    return false;
}

void ChannelSuite::DiscoverTuner()
{
    tunerState = TUNER_UNUSABLE;
    BMediaRoster* roster = BMediaRoster::CurrentRoster();
    BParameterWeb* web = nullptr;
    if (roster == nullptr) {
        tunerState = TUNER_NO_WEB;
        return;
    }
    if (roster->GetVideoInput(&videoInput) != B_OK) {
        videoInput = media_node::null;
        tunerState = TUNER_NO_WEB;
        return;
    }
    if (roster->GetParameterWebFor(videoInput, &web) != B_OK || web == nullptr) {
        tunerState = TUNER_NO_WEB;
        return;
    }
    channelParam = nullptr;
    videoFormatParam = nullptr;
    audioFormatParam = nullptr;
    for (int32 i = 0; i < web->CountParameters(); i++) {
        BParameter* parameter = web->ParameterAt(i);
        const char* name = parameter->Name();
        if (video::NameStartsWith(name, "Channel")) {
            channelParam = AsDiscrete(parameter);
        } else if (video::NameStartsWith(name, "Video Format")) {
            videoFormatParam = AsDiscrete(parameter);
        } else if (video::NameStartsWith(name, "Audio Format")) {
            audioFormatParam = AsDiscrete(parameter);
        } else if (video::NameStartsWith(name, "Tuner Brand")) {
            int32 brand = 0;
            size_t size = sizeof(brand);
            if (parameter->GetValue(&brand, &size, nullptr) == B_OK && brand != 0)
                tunerState = TUNER_PRESENT;
        }
    }
    if (channelParam == nullptr) {
        tunerState = TUNER_UNUSABLE;
        return;
    }
    // A channel that cannot be read starts the suite at the first one.
    (void)video::ReadDiscreteValue(channelParam, &currentChannel);
}

void ChannelSuite::LoadPresets()
{
    BFile file(PRESETS_PATH, B_READ_ONLY);
    BMessage stored;
    if (file.InitCheck() != B_OK || stored.Unflatten(&file) != B_OK)
        return;
    const int32 videoFormat = CurrentFormat(videoFormatParam);
    const int32 audioFormat = CurrentFormat(audioFormatParam);
    Preset preset;
    // The list ends with the first missing "Channel"; the other fields have defaults.
    for (int32 i = 0; stored.FindInt32("Channel", i, &preset.channel) == B_OK; i++) {
        if (stored.FindString("Name", i, &preset.name) != B_OK)
            preset.name = "Unknown station";
        if (stored.FindInt32("VideoFormat", i, &preset.videoFormat) != B_OK)
            preset.videoFormat = videoFormat;
        if (stored.FindInt32("AudioFormat", i, &preset.audioFormat) != B_OK)
            preset.audioFormat = audioFormat;
        presets.push_back(preset);
        if (preset.channel == currentChannel)
            selected = i;
    }
    // The station the card is on gets its stored formats, and the main window its name.
    if (selected >= 0)
        PostMessage(SUITE_PRESET_SELECTED);
}

int32 ChannelSuite::CurrentFormat(BDiscreteParameter* parameter)
{
    int32 value = -1;
    return video::ReadDiscreteValue(parameter, &value) ? value : -1;
}

void ChannelSuite::MessageReceived(BMessage* message)
{
    if (message->what != SUITE_PRESET_SELECTED) {
        BWindow::MessageReceived(message);
        return;
    }
    if (selected < 0 || size_t(selected) >= presets.size())
        return;
    const Preset& preset = presets[size_t(selected)];
    TuneChannel(preset.channel, preset.videoFormat, preset.audioFormat);
    BMessage changed(MSG_STATION_CHANGED);
    changed.AddString("Name", preset.name.c_str());
    changed.AddInt32("Preset", selected + 1);
    (void)mainWindow.SendMessage(&changed);
}

void ChannelSuite::TuneChannel(int32 channel, int32 videoFormat, int32 audioFormat)
{
    if (channelParam == nullptr)
        return;
    // One past the end leads to the first channel, one before the start to the last.
    const int32 count = channelParam->CountItems();
    if (channel > count - 1)
        channel = 0;
    if (channel < 0)
        channel = count - 1;
    currentChannel = channel;
    // Formats before the channel, so the card tunes in the right standard.
    for (const auto& [parameter, format] :
        {std::pair{videoFormatParam, videoFormat}, std::pair{audioFormatParam, audioFormat}}) {
        if (parameter != nullptr && format >= 0 && format < parameter->CountItems())
            video::WriteDiscreteValue(parameter, format);
    }
    video::WriteDiscreteValue(channelParam, channel);
    // A new standard changes the frame size: the connection is made again.
    if (tvView != nullptr)
        tvView->Reconnect();
}

void ChannelSuite::DetachTVView()
{
    tvView = nullptr;
}

std::string ChannelSuite::Zap(int32 index)
{
    if (channelParam == nullptr || tunerState != TUNER_PRESENT || presets.empty())
        return std::string();
    const int32 count = int32(presets.size());
    if (index > count - 1)
        index = 0;
    if (index < 0)
        index = count - 1;
    selected = index;
    PostMessage(SUITE_PRESET_SELECTED);
    char label[16];
    std::snprintf(label, sizeof(label), "P %02d", int(index + 1));
    return label;
}

std::string ChannelSuite::ZapUp()
{
    return Zap(selected + 1);
}

std::string ChannelSuite::ZapDown()
{
    return Zap(selected - 1);
}

std::string ChannelSuite::GetPresetName() const
{
    if (channelParam == nullptr || selected < 0 || size_t(selected) >= presets.size())
        return std::string();
    return presets[size_t(selected)].name;
}

int32 ChannelSuite::CountPresets() const
{
    return int32(presets.size());
}

int32 ChannelSuite::CurrentSelection() const
{
    return selected;
}
