// Lock order: the main window's lock before this window's; this window never locks the main one.
#include "channels/ChannelSuite.h"

#include "channels/qvChannelItem.h"
#include "kits/app/Message.h"
#include "kits/interface/Box.h"
#include "kits/interface/Button.h"
#include "kits/interface/ListView.h"
#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/ScrollView.h"
#include "kits/interface/Slider.h"
#include "kits/interface/StringView.h"
#include "kits/interface/TextControl.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "video/ParameterAccess.h"
#include "video/StationPresets.h"
#include "video/TVView.h"

#include <vector>

namespace {

constexpr BRect SUITE_FRAME(50, 100, 360, 400);
// Narrow shows the "Stations" box alone; wide also the "Channel" and "Tuner" boxes.
constexpr float NARROW_WIDTH = 310;
constexpr float WIDE_WIDTH = 560;
constexpr float SUITE_HEIGHT = 300;
// A flat picture (no signal) measures 0, snow from 1500 up.
constexpr int32 STATION_CONTRAST_MIN = 1;
constexpr int32 STATION_CONTRAST_MAX = 1499;

BButton* AddButton(BView* parent, BRect frame, const char* name, const char* label,
    uint32 command)
{
    auto* button = new BButton(frame, name, label, new BMessage(command));
    parent->AddChild(button);
    return button;
}

BBox* LabelledBox(BView* parent, BRect frame, const char* label)
{
    auto* box = new BBox(frame);
    box->SetLabel(label);
    parent->AddChild(box);
    return box;
}

}

ChannelSuite::ChannelSuite(TVView* view, int32* tunerStatus)
    :
    BWindow(SUITE_FRAME, "Channel Suite", B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
    tvView(view),
    // Opened whatever the tuner, so that a missing file is there, empty, from now on.
    presetsFile(video::PRESETS_PATH, B_READ_WRITE | B_CREATE_FILE)
{
    DiscoverTuner();
    Lock();
    // The constructor runs with the video view's window locked, so its window is settled.
    if (tvView != nullptr && tvView->Window() != nullptr)
        mainWindow = BMessenger(nullptr, tvView->Window());
    auto* background = new BBox(Bounds(), "Background", B_FOLLOW_ALL_SIDES,
        B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE_JUMP, B_PLAIN_BORDER);
    AddChild(background);
    if (tunerState != TUNER_PRESENT) {
        auto* noSuite = new BStringView(BRect(0, 85, Bounds().Width(), 95), "nosuite",
            "Your TV Card does not have a tuner");
        noSuite->SetAlignment(B_ALIGN_CENTER);
        AddChild(noSuite);
        Unlock();
        channelParam = nullptr;
        *tunerStatus = -1;
        return;
    }
    BuildTunerPage(background);
    LoadPresets();
    // Showing and hiding at once starts the loop while the window stays invisible, so the
    // selection that loading made is tuned and the main window learns the station.
    Show();
    Hide();
    Unlock();
    *tunerStatus = 0;
}

ChannelSuite::~ChannelSuite()
{
    SavePresets();
    if (presetList == stationList)
        presetList = nullptr;
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
    const video::TunerParameters tuner = video::FindTunerParameters(web);
    channelParam = tuner.channel;
    videoFormatParam = tuner.videoFormat;
    audioFormatParam = tuner.audioFormat;
    if (video::TunerFitted(web))
        tunerState = TUNER_PRESENT;
    if (channelParam == nullptr) {
        tunerState = TUNER_UNUSABLE;
        return;
    }
    // A channel that cannot be read starts the suite at the first one.
    (void)video::ReadDiscreteValue(channelParam, &currentChannel);
}

void ChannelSuite::BuildTunerPage(BView* background)
{
    stationsBox = LabelledBox(background, BRect(10, 10, 309, 290), "Stations");
    stationsBox->SetBorder(B_NO_BORDER);
    stationList = new BListView(BRect(10, 20, 190, 270), "Presets", B_SINGLE_SELECTION_LIST);
    stationList->SetSelectionMessage(new BMessage(SUITE_PRESET_SELECTED));
    stationsBox->AddChild(new BScrollView("Presets", stationList, B_FOLLOW_LEFT | B_FOLLOW_TOP,
        0, false, true));
    presetList = stationList;
    AddButton(stationsBox, BRect(215, 20, 290, 45), "MoveUpButton", "Move up", SUITE_MOVE_UP);
    AddButton(stationsBox, BRect(215, 50, 290, 75), "MoveDownButton", "Move down",
        SUITE_MOVE_DOWN);
    AddButton(stationsBox, BRect(215, 85, 290, 110), "AddButton", "Add", SUITE_ADD);
    AddButton(stationsBox, BRect(215, 115, 290, 140), "RemoveButton", "Remove", SUITE_REMOVE);
    moreLessButton = AddButton(stationsBox, BRect(215, 245, 290, 270), "MoreLessButton", ">>>",
        SUITE_MORE);

    BBox* channel = LabelledBox(background, BRect(320, 10, 550, 155), "Channel");
    presetName = new BTextControl(BRect(10, 20, 220, 40), "PresetName", "Station name:",
        "New station", new BMessage(SUITE_NAME_EDITED));
    channel->AddChild(presetName);
    channel->AddChild(InitVideoFormat(BRect(10, 50, 220, 70)));
    channel->AddChild(InitAudioFormat(BRect(10, 80, 220, 100)));
    AddButton(channel, BRect(145, 110, 220, 135), "SaveButton", "Save", SUITE_SAVE);

    BBox* tuner = LabelledBox(background, BRect(320, 170, 550, 290), "Tuner");
    channelSlider = new BSlider(BRect(10, 20, 220, 50), "Channel", "Channel:",
        new BMessage(SUITE_CHANNEL_SLIDER), 0, channelParam->CountItems() - 1, B_BLOCK_THUMB);
    tuner->AddChild(channelSlider);
    channelNumber = new BTextControl(BRect(10, 60, 220, 80), "Channel", "Channel number:",
        GetChannelName().c_str(), new BMessage(SUITE_CHANNEL_TEXT));
    tuner->AddChild(channelNumber);
    AddButton(tuner, BRect(145, 85, 220, 110), "ScanButton", "Scan all", SUITE_SCAN_ALL);
    AddButton(tuner, BRect(10, 85, 60, 110), "TuneDownButton", "Down", SUITE_TUNE_DOWN);
    AddButton(tuner, BRect(70, 85, 120, 110), "TuneUpButton", "Up", SUITE_TUNE_UP);
}

void ChannelSuite::LoadPresets()
{
    std::vector<video::StationPreset> presets;
    status_t status = presetsFile.InitCheck();
    if (status == B_OK)
        status = video::ReadPresets(presetsFile, presets);
    if (status != B_OK) {
        // The file is written over at the end: a damaged or foreign one is kept aside first,
        // and one that can be neither read nor kept is left alone.
        presetsWritable = status == B_ENTRY_NOT_FOUND
            || (presetsFile.InitCheck() == B_OK
                && video::KeepCopy(presetsFile, video::DAMAGED_PRESETS_PATH) == B_OK);
        return;
    }
    const int32 videoFormat = GetVideoFormat();
    const int32 audioFormat = GetAudioFormat();
    int32 onChannel = -1;
    for (const video::StationPreset& preset : presets) {
        auto* item = new qvChannelItem(preset.name.c_str(), preset.channel);
        stationList->AddItem(item);
        item->videoFormat = preset.videoFormat.value_or(videoFormat);
        item->audioFormat = preset.audioFormat.value_or(audioFormat);
        if (preset.channel == currentChannel)
            onChannel = stationList->CountItems() - 1;
    }
    // The last preset on the card's channel is selected once, so the start tunes it once rather
    // than once for every preset on that channel.
    if (onChannel >= 0)
        stationList->Select(onChannel);
}

void ChannelSuite::SavePresets()
{
    if (tunerState != TUNER_PRESENT || stationList == nullptr || !presetsWritable)
        return;
    std::vector<video::StationPreset> presets;
    for (int32 i = 0; i < stationList->CountItems(); i++) {
        if (auto* item = dynamic_cast<qvChannelItem*>(stationList->ItemAt(i))) {
            presets.push_back(
                {item->name, item->channel, item->videoFormat, item->audioFormat});
        }
    }
    // A failure leaves the old file whole; the program is ending and has no one to tell.
    (void)video::WritePresets(video::PRESETS_PATH, presets);
}

qvChannelItem* ChannelSuite::SelectedPreset() const
{
    if (stationList == nullptr)
        return nullptr;
    return dynamic_cast<qvChannelItem*>(stationList->ItemAt(stationList->CurrentSelection()));
}

void ChannelSuite::MessageReceived(BMessage* message)
{
    int32 index = 0;
    switch (message->what) {
    case SUITE_PRESET_SELECTED:
        PresetSelected();
        break;
    case SUITE_MOVE_UP:
        MovePreset(-1);
        break;
    case SUITE_MOVE_DOWN:
        MovePreset(1);
        break;
    case SUITE_ADD:
        AddPreset();
        break;
    case SUITE_REMOVE:
        RemovePreset();
        break;
    case SUITE_MORE:
        ShowMore(true);
        break;
    case SUITE_LESS:
        ShowMore(false);
        break;
    case SUITE_NAME_EDITED:
        break;
    case SUITE_SAVE:
        SavePreset();
        break;
    case SUITE_VIDEO_FORMAT:
        if (message->FindInt32("i", &index) == B_OK)
            (void)TuneChannel(currentChannel, index, -1);
        break;
    case SUITE_AUDIO_FORMAT:
        if (message->FindInt32("i", &index) == B_OK)
            (void)TuneChannel(currentChannel, -1, index);
        break;
    case SUITE_CHANNEL_SLIDER:
        if (channelSlider != nullptr)
            (void)TuneChannel(channelSlider->Value(), -1, -1);
        break;
    case SUITE_CHANNEL_TEXT:
        TuneTypedChannel();
        break;
    case SUITE_SCAN_ALL:
        StartScan();
        break;
    case SUITE_TUNE_UP:
        (void)TuneChannel(currentChannel + 1, -1, -1);
        break;
    case SUITE_TUNE_DOWN:
        (void)TuneChannel(currentChannel - 1, -1, -1);
        break;
    case SUITE_SCAN_STEP:
        ScanStep();
        break;
    default:
        BWindow::MessageReceived(message);
        break;
    }
}

void ChannelSuite::MovePreset(int32 offset)
{
    if (stationList == nullptr)
        return;
    const int32 selected = stationList->CurrentSelection();
    const int32 other = selected + offset;
    // The list keeps the moved preset selected and sends nothing: nothing is tuned.
    if (selected >= 0 && other >= 0 && other < stationList->CountItems())
        (void)stationList->SwapItems(selected, other);
}

void ChannelSuite::AddPreset()
{
    if (stationList == nullptr)
        return;
    const int32 selected = stationList->CurrentSelection();
    auto* item = new qvChannelItem(presetName->Text(), currentChannel);
    item->videoFormat = GetVideoFormat();
    item->audioFormat = GetAudioFormat();
    if (selected >= 0 && selected < stationList->CountItems() - 1)
        (void)stationList->AddItem(item, selected);
    else
        (void)stationList->AddItem(item);
    // An inserted preset takes the selected place and is tuned; after an append the selection
    // stays where it was.
    if (selected >= 0)
        stationList->Select(selected);
}

void ChannelSuite::RemovePreset()
{
    if (stationList == nullptr)
        return;
    const int32 selected = stationList->CurrentSelection();
    if (selected >= 0)
        delete stationList->RemoveItem(selected);
}

void ChannelSuite::SavePreset()
{
    qvChannelItem* preset = SelectedPreset();
    if (preset == nullptr)
        return;
    // Memory only: the file learns of it when the application ends.
    preset->name = presetName->Text();
    preset->channel = currentChannel;
    preset->videoFormat = GetVideoFormat();
    preset->audioFormat = GetAudioFormat();
    stationList->Invalidate();
}

void ChannelSuite::ShowMore(bool more)
{
    if (stationsBox == nullptr)
        return;
    ResizeTo(more ? WIDE_WIDTH : NARROW_WIDTH, SUITE_HEIGHT);
    stationsBox->SetBorder(more ? B_FANCY_BORDER : B_NO_BORDER);
    moreLessButton->SetLabel(more ? "<<<" : ">>>");
    (void)moreLessButton->SetMessage(new BMessage(more ? SUITE_LESS : SUITE_MORE));
}

void ChannelSuite::TuneTypedChannel()
{
    if (channelParam == nullptr || channelNumber == nullptr)
        return;
    // A label no channel has leaves the text as typed.
    const std::string typed = channelNumber->Text();
    for (int32 i = 0; i < channelParam->CountItems(); i++) {
        if (GetChannelName(i) == typed)
            (void)TuneChannel(i, -1, -1);
    }
}

void ChannelSuite::StartScan()
{
    if (stationList == nullptr)
        return;
    stationList->MakeEmpty();
    (void)TuneChannel(0, -1, -1);
    if (!scanning)
        PostMessage(SUITE_SCAN_STEP);
    scanning = true;
}

void ChannelSuite::ScanStep()
{
    if (!scanning)
        return;
    // The tuner settles and frames of the new channel arrive after the reconnection.
    (void)snooze(scanSettleTime);
    const int32 contrast = tvView != nullptr ? tvView->GetLineContrast() : 0;
    if (contrast >= STATION_CONTRAST_MIN && contrast <= STATION_CONTRAST_MAX) {
        auto* item = new qvChannelItem("Unknown station", currentChannel);
        item->videoFormat = GetVideoFormat();
        item->audioFormat = GetAudioFormat();
        (void)stationList->AddItem(item);
    }
    const int32 old = currentChannel;
    const bool last = scanLastChannel >= 0 && currentChannel >= scanLastChannel;
    (void)TuneChannel(last ? 0 : currentChannel + 1, -1, -1);
    // Past the last channel the tuner wraps to the first, and the scan ends there.
    scanning = currentChannel > old;
    if (scanning)
        PostMessage(SUITE_SCAN_STEP);
}

void ChannelSuite::SetScanSettleTime(bigtime_t settleTime)
{
    scanSettleTime = settleTime;
}

void ChannelSuite::SetScanLastChannel(int32 channel)
{
    scanLastChannel = channel;
}

void ChannelSuite::PresetSelected()
{
    const qvChannelItem* preset = SelectedPreset();
    if (preset == nullptr)
        return;
    presetName->SetText(preset->name.c_str());
    (void)TuneChannel(preset->channel, preset->videoFormat, preset->audioFormat);
    BMessage changed(MSG_STATION_CHANGED);
    changed.AddString("Name", preset->name.c_str());
    changed.AddInt32("Preset", stationList->CurrentSelection() + 1);
    (void)mainWindow.SendMessage(&changed);
}

std::string ChannelSuite::TuneChannel(int32 channel, int32 videoFormat, int32 audioFormat)
{
    if (channelParam == nullptr)
        return std::string();
    // One past the end leads to the first channel, one before the start to the last.
    const int32 count = channelParam->CountItems();
    if (channel > count - 1)
        channel = 0;
    if (channel < 0)
        channel = count - 1;
    currentChannel = channel;
    const std::string label = GetChannelName(channel);
    if (channelNumber != nullptr)
        channelNumber->SetText(label.c_str());
    if (channelSlider != nullptr && channelSlider->Value() != channel)
        channelSlider->SetValue(channel);
    // Formats before the channel, so the card tunes in the right standard.
    SetVideoFormat(videoFormat);
    SetAudioFormat(audioFormat);
    video::WriteDiscreteValue(channelParam, channel);
    // A new standard changes the frame size: the connection is made again.
    if (tvView != nullptr)
        tvView->Reconnect();
    return label;
}

void ChannelSuite::SetVideoFormat(int32 index)
{
    SetFormat(videoFormatParam, videoCombo, index);
}

void ChannelSuite::SetAudioFormat(int32 index)
{
    SetFormat(audioFormatParam, audioCombo, index);
}

void ChannelSuite::SetFormat(BDiscreteParameter* parameter, BMenuField* field, int32 index)
{
    if (parameter == nullptr || field == nullptr || index < 0)
        return;
    BMenuItem* item = field->Menu()->ItemAt(index);
    if (item == nullptr)
        return;
    // The menu is in radio mode: the mark moves here.
    item->SetMarked(true);
    video::WriteDiscreteValue(parameter, index);
}

int32 ChannelSuite::GetVideoFormat() const
{
    return GetFormat(videoFormatParam, videoCombo);
}

int32 ChannelSuite::GetAudioFormat() const
{
    return GetFormat(audioFormatParam, audioCombo);
}

int32 ChannelSuite::GetFormat(BDiscreteParameter* parameter, BMenuField* field) const
{
    if (parameter == nullptr || field == nullptr)
        return -1;
    BMenuItem* marked = field->Menu()->FindMarked();
    return marked != nullptr ? field->Menu()->IndexOf(marked) : -1;
}

BMenuField* ChannelSuite::InitVideoFormat(BRect frame)
{
    videoCombo = InitFormat(frame, videoFormatParam, "Video format", "VideoCombo",
        "Video format:", SUITE_VIDEO_FORMAT);
    return videoCombo;
}

BMenuField* ChannelSuite::InitAudioFormat(BRect frame)
{
    audioCombo = InitFormat(frame, audioFormatParam, "Audio format", "AudioCombo",
        "Audio format:", SUITE_AUDIO_FORMAT);
    return audioCombo;
}

BMenuField* ChannelSuite::InitFormat(BRect frame, BDiscreteParameter* parameter,
    const char* title, const char* name, const char* label, uint32 command)
{
    // Radio mode, and the field shows the marked item's label.
    auto* menu = new BPopUpMenu(title, true, true, B_ITEMS_IN_COLUMN);
    if (parameter == nullptr) {
        // Without "i" the command does nothing.
        menu->AddItem(new BMenuItem("No formats found", new BMessage(command)));
    } else {
        int32 current = -1;
        (void)video::ReadDiscreteValue(parameter, &current);
        for (int32 i = 0; i < parameter->CountItems(); i++) {
            auto* message = new BMessage(command);
            message->AddInt32("i", i);
            auto* item = new BMenuItem(parameter->ItemNameAt(i), message);
            menu->AddItem(item);
            if (i == current)
                item->SetMarked(true);
        }
    }
    return new BMenuField(frame, name, label, menu, true);
}

void ChannelSuite::DetachTVView()
{
    tvView = nullptr;
}

std::string ChannelSuite::Zap(int32 index)
{
    if (channelParam == nullptr || tunerState != TUNER_PRESENT || stationList == nullptr
        || stationList->IsEmpty()) {
        return std::string();
    }
    const int32 count = stationList->CountItems();
    if (index > count - 1)
        index = 0;
    if (index < 0)
        index = count - 1;
    // The selection command tunes the preset later, on this window's thread.
    stationList->Select(index);
    std::string label("P ");
    if (index + 1 < 10)
        label.append("0");
    return label.append(std::to_string(index + 1));
}

std::string ChannelSuite::ZapUp()
{
    if (stationList == nullptr)
        return std::string();
    return Zap(stationList->CurrentSelection() + 1);
}

std::string ChannelSuite::ZapDown()
{
    if (stationList == nullptr)
        return std::string();
    return Zap(stationList->CurrentSelection() - 1);
}

std::string ChannelSuite::GetPresetName() const
{
    const qvChannelItem* preset = channelParam != nullptr ? SelectedPreset() : nullptr;
    return preset != nullptr ? preset->name : std::string();
}

std::string ChannelSuite::GetChannelName(int32 index) const
{
    const char* name = channelParam != nullptr ? channelParam->ItemNameAt(index) : nullptr;
    return name != nullptr ? std::string(name) : std::string();
}

std::string ChannelSuite::GetChannelName() const
{
    return GetChannelName(currentChannel);
}
