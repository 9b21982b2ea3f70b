#include "video/TVView.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Archivable.h"
#include "kits/app/Message.h"
#include "kits/interface/Alert.h"
#include "kits/interface/Dragger.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/Window.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "video/AboutText.h"
#include "video/ParameterAccess.h"
#include "video/StationPresets.h"

#include <vector>

// Lock order: "startstopSem" before "initSem" (taken inside StopNodes and Reconnect).

namespace {

constexpr const char* SIGNATURE = "application/x-vnd.Quarnet.Ovelin";
constexpr const char* CLASS_NAME = "TVView";

}

TVView::TVView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags),
    NodeManager(),
    roster(BMediaRoster::CurrentRoster()),
    startStopLock(create_sem(0, "startstopSem")),
    replicant(false)
{
    SetViewColor(0, 0, 0, 0);
    const float width = Bounds().Width();
    const float height = Bounds().Height();
    // The view owns its children once added.
    AddChild(new BDragger(BRect(width - 7, height - 7, width, height), this,
        B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW));
    release_sem(startStopLock);
}

TVView::TVView(BMessage* archive)
    :
    BView(archive),
    NodeManager(archive),
    roster(BMediaRoster::CurrentRoster()),
    startStopLock(create_sem(0, "startstopSem")),
    replicant(true)
{
    SetResizingMode(B_FOLLOW_ALL_SIDES);
    replicantMenu = std::make_unique<BPopUpMenu>("ReplicantMenu", false, false,
        B_ITEMS_IN_COLUMN);
    stationsMenu = new BMenu("Stations", B_ITEMS_IN_COLUMN);
    replicantMenu->AddItem(stationsMenu);
    replicantMenu->AddSeparatorItem();
    replicantMenu->AddItem(new BMenuItem("Resize to optimal size",
        new BMessage(MSG_REPLICANT_OPTIMAL_SIZE)));
    replicantMenu->AddItem(new BMenuItem("Maximize", new BMessage(MSG_REPLICANT_MAXIMIZE)));
    release_sem(startStopLock);
}

TVView::~TVView()
{
    // Unbounded: the lock is held only for short work on the holder's own thread.
    acquire_sem(startStopLock);
    StopNodes();
    delete_sem(startStopLock);
    if (roster != nullptr && videoInputNode.node >= 0)
        roster->ReleaseNode(videoInputNode);
}

BArchivable* TVView::Instantiate(BMessage* archive)
{
    if (!validate_instantiation(archive, CLASS_NAME))
        return nullptr;
    return new TVView(archive);
}

void TVView::RegisterReplicant()
{
    register_instantiation_func(CLASS_NAME, &TVView::Instantiate);
}

status_t TVView::Archive(BMessage* archive, bool deep) const
{
    if (archive == nullptr || acquire_sem(startStopLock) != B_OK)
        return -1;
    if (!replicant && be_app != nullptr)
        be_app->PostMessage(B_QUIT_REQUESTED);
    status_t result = B_OK;
    archive->AddString("add_on", SIGNATURE);
    archive->AddString("class", CLASS_NAME);
    if (BView::Archive(archive, deep) != B_OK)
        result = -1;
    if (NodeManager::Archive(archive, true) != B_OK)
        result = -1;
    release_sem(startStopLock);
    return result;
}

void TVView::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case MSG_REPLICANT_ZAP: {
        int32 channel = 0;
        if (message->FindInt32("Channel", &channel) != B_OK)
            break;
        int32 videoFormat = -1;
        int32 audioFormat = -1;
        if (message->FindInt32("VideoFormat", &videoFormat) != B_OK)
            videoFormat = -1;
        if (message->FindInt32("AudioFormat", &audioFormat) != B_OK)
            audioFormat = -1;
        TuneChannel(channel, videoFormat, audioFormat);
        break;
    }
    case B_ABOUT_REQUESTED: {
        // Deletes itself when closed.
        auto* alert = new BAlert("About", ABOUT_TEXT, "Ok", nullptr, nullptr, B_WIDTH_AS_USUAL,
            B_INFO_ALERT);
        alert->Go(-1);
        break;
    }
    case MSG_REPLICANT_MAXIMIZE:
        if (Window() != nullptr) {
            MoveTo(0, 0);
            ResizeTo(Window()->Bounds().Width(), Window()->Bounds().Height());
        }
        break;
    case MSG_REPLICANT_OPTIMAL_SIZE: {
        const BRect signal = GetSignalSize();
        ResizeTo(signal.right - signal.left, signal.bottom - signal.top);
        break;
    }
    default:
        BView::MessageReceived(message);
        break;
    }
}

void TVView::AttachedToWindow()
{
    BView::AttachedToWindow();
    StartNodes(this);
    if (replicant) {
        InitReplicant();
        SetSize(PixelCount(Bounds().Width()), PixelCount(Bounds().Height()));
    }
}

void TVView::DetachedFromWindow()
{
    StopNodes();
    BView::DetachedFromWindow();
}

void TVView::MouseDown(BPoint where)
{
    BMessage* current = Window() != nullptr ? Window()->CurrentMessage() : nullptr;
    int32 buttons = 0;
    if (current == nullptr || current->FindInt32("buttons", &buttons) != B_OK)
        return;
    // Exactly the secondary button: a press of both is no request for the menu.
    if (buttons != B_SECONDARY_MOUSE_BUTTON || !replicant || replicantMenu == nullptr)
        return;
    BPoint screen = ConvertToScreen(where);
    screen -= BPoint(1, 1);
    BMenuItem* chosen = replicantMenu->Go(screen, true, true, false);
    if (chosen != nullptr && chosen->Message() != nullptr)
        MessageReceived(chosen->Message());
}

void TVView::FrameResized(float newWidth, float newHeight)
{
    // Given the bounds' width and height, as the window's size tracking is.
    if (replicant)
        SetSize(PixelCount(newWidth), PixelCount(newHeight));
}

void TVView::InitReplicant()
{
    if (acquire_sem(startStopLock) != B_OK)
        return;
    BParameterWeb* web = nullptr;
    if (roster != nullptr && videoInputNode.node < 0
        && roster->GetVideoInput(&videoInputNode) != B_OK) {
        videoInputNode = media_node();
    }
    if (videoInputNode.node >= 0 && roster->GetParameterWebFor(videoInputNode, &web) == B_OK
        && web != nullptr) {
        const video::TunerParameters tuner = video::FindTunerParameters(web);
        channelParameter = tuner.channel;
        videoFormatParameter = tuner.videoFormat;
        audioFormatParameter = tuner.audioFormat;
    }

    std::vector<video::StationPreset> presets;
    if (stationsMenu != nullptr && video::ReadPresets(video::PRESETS_PATH, presets) == B_OK) {
        for (const video::StationPreset& preset : presets) {
            auto* zap = new BMessage(MSG_REPLICANT_ZAP);
            zap->AddInt32("Channel", preset.channel);
            if (preset.videoFormat.has_value())
                zap->AddInt32("VideoFormat", *preset.videoFormat);
            if (preset.audioFormat.has_value())
                zap->AddInt32("AudioFormat", *preset.audioFormat);
            stationsMenu->AddItem(new BMenuItem(preset.name.c_str(), zap));
        }
    }
    release_sem(startStopLock);
}

void TVView::TuneChannel(int32 channel, int32 videoFormat, int32 audioFormat)
{
    if (channelParameter == nullptr)
        return;
    const int32 count = channelParameter->CountItems();
    if (channel > count - 1)
        channel = 0;
    if (channel < 0)
        channel = count - 1;
    video::WriteDiscreteValue(channelParameter, channel);
    if (videoFormatParameter != nullptr && videoFormat >= 0)
        video::WriteDiscreteValue(videoFormatParameter, videoFormat);
    if (audioFormatParameter != nullptr && audioFormat >= 0)
        video::WriteDiscreteValue(audioFormatParameter, audioFormat);
    Reconnect();
}

BPopUpMenu* TVView::ReplicantMenu() const
{
    return replicantMenu.get();
}

bool TVView::IsReplicant() const
{
    return replicant;
}
