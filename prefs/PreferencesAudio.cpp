// The media set-up and the "Audio" page of the preferences window: the sound source the TV's
// sound arrives through and its volume.
#include "prefs/Preferences.h"

#include "kits/app/Message.h"
#include "kits/interface/Box.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/Slider.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "prefs/PreferencesPrivate.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using prefs::HasPrefix;

// The volume slider stands for the parameter's range in per cent.
constexpr int32 VOLUME_RANGE = 100;
// A remote-control press moves the volume by this much (slider positions).
constexpr int32 VOLUME_STEP = 5;

// One float per channel; a volume is stereo, but a node may publish a mono one, whose value must
// not be read or written as two.
size_t ChannelsOf(const BContinuousParameter& volume)
{
    return size_t(std::max<int32>(volume.CountChannels(), 1));
}

// The mean of the channels the node gave, or nothing when the parameter cannot be read.
std::optional<double> ReadVolume(BContinuousParameter& volume)
{
    std::vector<float> values(ChannelsOf(volume));
    size_t size = values.size() * sizeof(float);
    if (volume.GetValue(values.data(), &size, nullptr) != B_OK || size < sizeof(float))
        return std::nullopt;
    values.resize(size / sizeof(float));
    double sum = 0;
    for (float value : values)
        sum += value;
    return sum / double(values.size());
}

}

status_t Preferences::InitMediaRoster()
{
    BMediaRoster* roster = BMediaRoster::CurrentRoster();
    if (roster == nullptr)
        return B_ERROR;
    if (status_t status = roster->GetVideoInput(&videoInput); status != B_OK) {
        videoInput = media_node::null;
        return status;
    }
    // Without a sound output the set-up fails as a whole: neither page is built.
    if (status_t status = roster->GetAudioOutput(&audioOutput); status != B_OK) {
        audioOutput = media_node::null;
        return status;
    }
    BParameterWeb* pictureWeb = nullptr;
    if (roster->GetParameterWebFor(videoInput, &pictureWeb) != B_OK || pictureWeb == nullptr)
        return B_ERROR;
    BindPicture(*pictureWeb);
    // An output without a web still gets its page, with an empty box.
    BParameterWeb* soundWeb = nullptr;
    if (roster->GetParameterWebFor(audioOutput, &soundWeb) != B_OK || soundWeb == nullptr)
        return B_OK;
    for (int32 i = 0; i < soundWeb->CountGroups(); i++) {
        if (HasPrefix(soundWeb->GroupAt(i)->Name(), "Output"))
            audioOutputGroup = soundWeb->GroupAt(i);
    }
    return B_OK;
}

void Preferences::InitAudio()
{
    audioPage->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    BBox* box = prefs::AddBox(
        audioPage, BRect(5, 5, audioPage->Bounds().right - 5, 100), "Audio source");
    if (audioOutputGroup != nullptr) {
        auto* menu = new BPopUpMenu("Source", true, true, B_ITEMS_IN_COLUMN);
        // The TV card's sound comes in on the line input unless the user picks another source.
        for (int32 i = 0; i < audioOutputGroup->CountGroups(); i++) {
            BParameterGroup* source = audioOutputGroup->GroupAt(i);
            auto* message = new BMessage(CMD_SOURCE);
            (void)message->AddInt32("i", i);
            auto* item = new BMenuItem(source->Name(), message);
            menu->AddItem(item);
            if (HasPrefix(source->Name(), "Line")) {
                item->SetMarked(true);
                selectedAudioGroup = source;
            }
        }
        sourceField = new BMenuField(BRect(10, 20, 160, 40), "SourceCombo", "Audio source:", menu,
            true, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_NAVIGABLE);
        box->AddChild(sourceField);
        sldVolume = new BSlider(BRect(170, 15, 400, 45), "sldVolume",
            "Volume:", new BMessage(CMD_VOLUME), 0, VOLUME_RANGE, B_BLOCK_THUMB,
            B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE);
        box->AddChild(sldVolume);
        sldVolume->SetEnabled(false);
    }
    InitAudioParameters();
}

void Preferences::InitAudioParameters()
{
    if (selectedAudioGroup == nullptr)
        return;
    // The last match decides, one of the wrong kind unbinds, and a source without a volume
    // leaves the slider on the one bound before.
    for (int32 i = 0; i < selectedAudioGroup->CountParameters(); i++) {
        BParameter* parameter = selectedAudioGroup->ParameterAt(i);
        if (HasPrefix(parameter->Name(), "Volume"))
            volumeParameter = dynamic_cast<BContinuousParameter*>(parameter);
    }
    if (volumeParameter == nullptr) {
        sldVolume->SetEnabled(false);
        return;
    }
    // A volume that cannot be read leaves the slider where it stands.
    if (const std::optional<double> volume = ReadVolume(*volumeParameter)) {
        sldVolume->SetValue(
            prefs::PerCent(*volume, volumeParameter->MinValue(), volumeParameter->MaxValue()));
    }
    sldVolume->SetEnabled(true);
}

void Preferences::ApplyVolume()
{
    if (volumeParameter == nullptr)
        return;
    const float low = volumeParameter->MinValue();
    const float value
        = low + float(sldVolume->Value()) / VOLUME_RANGE * (volumeParameter->MaxValue() - low);
    const std::vector<float> values(ChannelsOf(*volumeParameter), value);
    (void)volumeParameter->SetValue(
        values.data(), values.size() * sizeof(float), BTimeSource::RealTime());
}

void Preferences::ChooseSource()
{
    if (audioOutputGroup == nullptr || sourceField == nullptr)
        return;
    BMenu* sources = sourceField->Menu();
    selectedAudioGroup = audioOutputGroup->GroupAt(sources->IndexOf(sources->FindMarked()));
    InitAudioParameters();
}

int32 Preferences::StepVolume(int32 step)
{
    // The binding changes on this window's thread when a source is chosen.
    return prefs::Locked(*this, [&] {
        if (volumeParameter == nullptr)
            return 0;
        sldVolume->SetValue(sldVolume->Value() + step);
        // The volume is written on this window's thread, as for a move of the slider.
        (void)PostMessage(CMD_VOLUME);
        return sldVolume->Value();
    });
}

int32 Preferences::VolumeUp()
{
    return StepVolume(VOLUME_STEP);
}

int32 Preferences::VolumeDown()
{
    return StepVolume(-VOLUME_STEP);
}
