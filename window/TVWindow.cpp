// Lock order: this window's lock before the preferences' or the channel suite's lock; those
// windows never lock this one. Pulse, on the application thread, takes only this window's lock.
#include "window/TVWindow.h"

#include "channels/ChannelSuite.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Message.h"
#include "kits/app/Roster.h"
#include "kits/interface/Alert.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Menu.h"
#include "kits/interface/MenuBar.h"
#include "kits/interface/MenuItem.h"
#include "kits/media/MediaRoster.h"
#include "kits/storage/Entry.h"
#include "kits/storage/Path.h"
#include "prefs/Preferences.h"
#include "video/TVView.h"
#include "window/Commands.h"
#include "window/ControlPanel.h"
#include "window/Slider.h"
#include "window/TextOver.h"

#include <cmath>
#include <cstdlib>

namespace {

// Pulses of 100 ms: the video follows the view's size half a second after the last resize.
constexpr int32 RESIZE_DELAY = 5;
// The pulse leaves its work for a later pulse rather than hold up the application thread while
// the window is busy (an alert open on its thread, say); 50 ms is half a pulse.
constexpr bigtime_t PULSE_LOCK_TIMEOUT = 50000;
// Pulses of 100 ms an overlay stays after the last command that showed it: three seconds.
constexpr int32 OVERLAY_TIMEOUT = 30;
// A display mode takes effect before it is read back.
constexpr bigtime_t MODE_SETTLE_TIME = 10000;
// The adjust-sync share of the horizontal total, in single precision: 1000 pixels give 9.
constexpr float SYNC_SHARE = 0.01f;

// Counts the time-out down by one unless it is at rest; true when this pulse ran it out.
bool CountDown(std::atomic<int32>& counter)
{
    int32 value = counter.load();
    while (value > 0 && !counter.compare_exchange_weak(value, value - 1)) {}
    return value == 1;
}

// The folder of the running executable, or "" when the application cannot tell.
std::string ExecutableDirectory()
{
    app_info info;
    if (be_app == nullptr || be_app->GetAppInfo(&info) != B_OK)
        return std::string();
    BPath path(&info.ref);
    BPath parent;
    if (path.InitCheck() != B_OK || path.GetParent(&parent) != B_OK)
        return std::string();
    return parent.Path();
}

BMessage* Command(uint32 what)
{
    return new BMessage(what);
}

// Hides view until it reports hidden: hiding nests.
void HideFully(BView* view)
{
    while (!view->IsHidden())
        view->Hide();
}

// Shows view until it reports shown: showing nests. A hidden parent is not the overlay's to
// undo, and no number of Show() calls would make the view report shown then.
void ShowFully(BView* view)
{
    while (view->IsHidden() && (view->Parent() == nullptr || !view->Parent()->IsHidden()))
        view->Show();
}

// The alert text for a node error, without its number.
const char* NodeErrorText(int32 number)
{
    switch (number) {
    case NODE_ERROR_CONNECT:
        return "Could not initialize the videostream\n"
            "There may not have enough memory to allocate the buffers.\n"
            "Please close some programs or reduce the colordepth";
    case NODE_ERROR_NO_ROSTER:
        return "The Media server is not loaded";
    case NODE_ERROR_VIDEO_INPUT:
        return "A video input device was not found";
    case NODE_ERROR_CREATE_CONSUMER:
        return "Could not make the video node\nAnother program may be using the video input";
    case NODE_ERROR_REGISTER_CONSUMER:
        return "Could not register the video node\n"
            "Another program may be using the video input";
    case NODE_ERROR_NO_FREE_OUTPUT:
        return "There are no video sources available\n"
            "Another program may be using the video input";
    case NODE_ERROR_START_INPUT:
    case NODE_ERROR_START_CONSUMER:
        return "Could not start the nodes";
    default:
        return "Node error";
    }
}

}

FullScreenTarget ChooseFullScreenTarget(int32 resolution, bool tweakMode, BRect signal)
{
    const float signalWidth = signal.Width();
    const float signalHeight = signal.Height();
    if (resolution == 1 || signalWidth <= 645)
        return {640, 480, 640, 480};
    if (resolution == 0 && tweakMode)
        return {800, 600, std::ceil(signalWidth) + 1, std::ceil(signalHeight) + 1};
    if (resolution == 3)
        return {1024, 768, 1024, 768};
    return {800, 600, 800, 600};
}

void TrimModeTiming(display_mode* mode, const FullScreenTarget& target, bool adaptSync)
{
    display_timing& t = mode->timing;
    // In double precision: the proportions must truncate as exact arithmetic would.
    if (target.width < float(target.modeWidth) - 10) {
        const auto d
            = int32((double(target.modeWidth) - target.width) / target.modeWidth * t.h_total);
        const auto e = int32(d / 1.6);
        t.h_sync_start = uint16(t.h_sync_start - e);
        t.h_total = uint16(t.h_total - d);
    }
    if (target.height < float(target.modeHeight) - 10) {
        const auto v
            = int32((double(target.modeHeight) - target.height) / target.modeHeight * t.v_total);
        t.v_sync_start = uint16(t.v_sync_start + v / 8);
        t.v_total = uint16(t.v_total + v / 3);
    }
    if (adaptSync) {
        // The single-precision share times the total, exactly: 1000 pixels give 9, not 10.
        const auto s = int32(double(t.h_total) * double(SYNC_SHARE));
        t.h_total = uint16(t.h_total - 5 * s);
        t.h_sync_start = uint16(t.h_sync_start - s);
    }
    t.h_display = uint16(target.width);
    t.v_display = uint16(target.height);
    mode->virtual_width = uint16(target.width);
    mode->virtual_height = uint16(target.height);
}

uint32 RefreshPixelClock(const display_timing& timing, float refresh)
{
    const uint32 kiloPixels = uint32(timing.h_total) * timing.v_total / 1000;
    return uint32(double(refresh) * kiloPixels);
}

TVWindow::TVWindow(BRect frame, const char* title, window_type type, uint32 flags)
    :
    TVWindow(frame, title, type, flags, ExecutableDirectory().c_str())
{
}

TVWindow::TVWindow(BRect frame, const char* title, window_type type, uint32 flags,
    const char* applicationDirectory)
    :
    BDirectWindow(frame, title, type, flags, B_CURRENT_WORKSPACE),
    baseTitle(title != nullptr ? title : ""),
    // The roster is asked early so that the media service is reached before the video view
    // starts its graph; the window itself makes no use of it.
    mediaRoster(BMediaRoster::Roster()),
    screen(std::make_unique<BScreen>(this))
{
    (void)screen->GetMode(&savedMode);
    const BRect screenFrame = screen->Frame();
    SetSizeLimits(frame.Width(), screenFrame.Width(), frame.Height(), screenFrame.Height());

    Lock();

    // The bar fits its height to the menu font.
    pMenuBar = new BMenuBar(BRect(0, 0, 640, 20), "Menu Bar", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
        B_ITEMS_IN_ROW, true);
    AddChild(pMenuBar);
    const float menuBarHeight = pMenuBar->Bounds().Height();

    pControlPanel = new ControlPanel(BRect(0, menuBarHeight + 1, 80, Bounds().Height()));
    AddChild(pControlPanel);

    const float panelWidth = pControlPanel->Bounds().Width();
    pTVView = new TVView(BRect(panelWidth + 1, menuBarHeight + 1, frame.Width(), frame.Height()),
        "TVView", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
    AddChild(pTVView);

    // Handled once the loop runs, after Show: the video view then takes the signal's size.
    PostMessage(MSG_OPTIMAL_SIZE);

    int32 tunerStatus = -1;
    pChannelSuite = new ChannelSuite(pTVView, &tunerStatus);
    pChannelSuite->Lock();
    suiteMessenger = BMessenger(nullptr, pChannelSuite);
    pChannelSuite->Unlock();
    pPreferences = new Preferences(this);

    BuildMenus(applicationDirectory != nullptr ? applicationDirectory : "", tunerStatus == 0);
    AddOverlays();

    overlayTimeout = 0;
    // Key presses over the window reach the panel, which turns them into commands.
    pControlPanel->MakeFocus(true);
    Unlock();
}

TVWindow::~TVWindow()
{
    // A suspended full-screen has left the fitted mode on the screen too.
    if (IsFullScreen() || fullScreenWorkspace >= 0) {
        (void)screen->SetMode(&savedMode, false);
        (void)SetFullScreen(false);
        if (be_app != nullptr)
            be_app->ShowCursor();
    }
    if (pTVView != nullptr) {
        // The suite tunes through the view on its own thread; locking it waits for a tuning
        // under way. Its messenger finds out whether the suite ended first.
        if (suiteMessenger.LockTarget()) {
            pChannelSuite->DetachTVView();
            pChannelSuite->Unlock();
        }
        // Removing a child hands it back: these own what they removed.
        std::unique_ptr<TextOver> nameLabel(
            pTVView->RemoveChild(pNameLabel) ? pNameLabel : nullptr);
        std::unique_ptr<TextOver> channelLabel(
            pTVView->RemoveChild(pChannelLabel) ? pChannelLabel : nullptr);
        std::unique_ptr<TVView> view(RemoveChild(pTVView) ? pTVView : nullptr);
        // The consumer may be drawing into the view on its own thread: give it time to notice
        // that the view has left the window before the view goes.
        snooze(10000);
    }
    if (pMenuBar != nullptr) {
        std::unique_ptr<BMenuBar> menuBar(RemoveChild(pMenuBar) ? pMenuBar : nullptr);
    }
    if (pControlPanel != nullptr) {
        std::unique_ptr<ControlPanel> panel(
            RemoveChild(pControlPanel) ? pControlPanel : nullptr);
    }
}

void TVWindow::BuildMenus(const std::string& applicationDirectory, bool tunerFitted)
{
    auto* tvMenu = new BMenu("TV", B_ITEMS_IN_COLUMN);
    tvMenu->AddItem(new BMenuItem("Preferences", Command(MSG_SHOW_PREFERENCES)));
    tvMenu->AddItem(new BMenuItem("About", Command(B_ABOUT_REQUESTED)));
    tvMenu->AddSeparatorItem();
    tvMenu->AddItem(new BMenuItem("Quit", Command(B_QUIT_REQUESTED), 'Q', 0));
    pMenuBar->AddItem(tvMenu);

    auto* viewMenu = new BMenu("View", B_ITEMS_IN_COLUMN);
    pVideoFormatMenu = new BMenu("Video format", B_ITEMS_IN_COLUMN);
    // Radio mode first, so that marking one format unmarks the other.
    pVideoFormatMenu->SetRadioMode(true);
    pVideoFormatMenu->AddItem(new BMenuItem("4:3", Command(MSG_FORMAT_4_3)));
    pVideoFormatMenu->AddItem(new BMenuItem("16:9 (PAL Plus)", Command(MSG_FORMAT_16_9)));
    pVideoFormatMenu->ItemAt(0)->SetMarked(true);
    viewMenu->AddItem(pVideoFormatMenu);
    viewMenu->AddSeparatorItem();
    pFullScreenItem = new BMenuItem("Toggle fullscreen mode", Command(MSG_TOGGLE_FULLSCREEN),
        B_ENTER, 0);
    viewMenu->AddItem(pFullScreenItem);
    viewMenu->AddItem(new BMenuItem("Resize to optimal size", Command(MSG_OPTIMAL_SIZE), 'O', 0));
    pMenuBar->AddItem(viewMenu);

    auto* tunerMenu = new BMenu("Tuner", B_ITEMS_IN_COLUMN);
    tunerMenu->AddItem(new BMenuItem("Channel up", Command(MSG_CHANNEL_UP)));
    tunerMenu->AddItem(new BMenuItem("Channel down", Command(MSG_CHANNEL_DOWN)));
    tunerMenu->AddSeparatorItem();
    tunerMenu->AddItem(new BMenuItem("Show Channel suite", Command(MSG_SHOW_CHANNEL_SUITE),
        'S', 0));
    if (!tunerFitted)
        tunerMenu->SetEnabled(false);
    pMenuBar->AddItem(tunerMenu);

    auto* helpMenu = new BMenu("Help", B_ITEMS_IN_COLUMN);
    auto* manualItem = new BMenuItem("Manual", Command(MSG_SHOW_MANUAL));
    auto* quickStartItem = new BMenuItem("Quick start", Command(MSG_SHOW_QUICK_START));
    helpMenu->AddItem(manualItem);
    helpMenu->AddItem(quickStartItem);
    FindDocument(applicationDirectory, "Doc/Manual", manualItem, &manualRef);
    FindDocument(applicationDirectory, "Doc/QuickStart", quickStartItem, &quickStartRef);
    pMenuBar->AddItem(helpMenu);
}

void TVWindow::FindDocument(const std::string& applicationDirectory, const char* relativePath,
    BMenuItem* item, entry_ref* ref)
{
    BPath path(applicationDirectory.c_str());
    if (!applicationDirectory.empty() && path.InitCheck() == B_OK
        && path.Append(relativePath) == B_OK) {
        // A link is not followed: the document must be a file of its own.
        BEntry entry(path.Path(), false);
        if (entry.InitCheck() == B_OK && entry.IsFile()
            && get_ref_for_path(path.Path(), ref) == B_OK) {
            return;
        }
    }
    *ref = entry_ref();
    item->SetEnabled(false);
}

void TVWindow::AddOverlays()
{
    const BRect bounds = pTVView->Bounds();
    const float u = bounds.Width() / 100;
    const float v = bounds.Height() / 100;

    pSlider = new Slider(BRect(8 * u, 85 * v - 25, 92 * u, 85 * v + 25), "pSlider",
        B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM, 0);
    pSlider->SetViewColor(255, 255, 255, 0);
    pTVView->AddChild(pSlider);
    pSlider->Hide();

    pNameLabel = new TextOver(BRect(8 * u, 85 * v, 92 * u, 85 * v + 25), "pNameLabel",
        B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM, 0);
    pTVView->AddChild(pNameLabel);
    pNameLabel->Hide();

    pChannelLabel = new TextOver(BRect(8 * u, 8 * v, 8 * u + 100, 8 * v + 25), "pChannelLabel",
        B_FOLLOW_LEFT | B_FOLLOW_TOP, 0);
    pTVView->AddChild(pChannelLabel);
    pChannelLabel->Hide();
}

void TVWindow::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case MSG_VOLUME_UP:
        ShowLevel("Volume:", &Preferences::VolumeUp);
        break;
    case MSG_VOLUME_DOWN:
        ShowLevel("Volume:", &Preferences::VolumeDown);
        break;
    case MSG_BRIGHTNESS_UP:
        ShowLevel("Brightness:", &Preferences::BrightnessUp);
        break;
    case MSG_BRIGHTNESS_DOWN:
        ShowLevel("Brightness:", &Preferences::BrightnessDown);
        break;
    case MSG_CONTRAST_UP:
        ShowLevel("Contrast:", &Preferences::ContrastUp);
        break;
    case MSG_CONTRAST_DOWN:
        ShowLevel("Contrast:", &Preferences::ContrastDown);
        break;
    case MSG_SATURATION_UP:
        ShowLevel("Saturation:", &Preferences::SaturationUp);
        break;
    case MSG_SATURATION_DOWN:
        ShowLevel("Saturation:", &Preferences::SaturationDown);
        break;
    case MSG_CHANNEL_UP:
    case MSG_CHANNEL_DOWN:
        ShowZap(message->what == MSG_CHANNEL_UP);
        break;
    case MSG_SHOW_CHANNEL_SUITE:
        // Only this window locks the suite while holding its own lock.
        pChannelSuite->Lock();
        while (pChannelSuite->IsHidden())
            pChannelSuite->Show();
        pChannelSuite->Unlock();
        break;
    case MSG_SHOW_PREFERENCES:
        pPreferences->Lock();
        pPreferences->Show();
        pPreferences->Unlock();
        break;
    case MSG_SHOW_MANUAL:
        OpenDocument(manualRef);
        break;
    case MSG_SHOW_QUICK_START:
        OpenDocument(quickStartRef);
        break;
    case MSG_OPTIMAL_SIZE:
        ResizeToSignal();
        break;
    case MSG_FORMAT_4_3:
        SetSignalFormat(FORMAT_4_3);
        break;
    case MSG_FORMAT_16_9:
        SetSignalFormat(FORMAT_16_9);
        break;
    case MSG_TOGGLE_FULLSCREEN:
        ToggleFullScreen();
        break;
    case MSG_SET_DEINTERLACE:
        if (int32 mode = 0; message->FindInt32("DI", &mode) == B_OK)
            pTVView->SetDeInterlace(mode);
        break;
    case MSG_SET_SUBTITLE_FILTER:
        if (bool on = false; message->FindBool("SF", &on) == B_OK)
            pTVView->SetSubtitleFilter(on);
        break;
    case MSG_SET_16BIT_LIMIT:
        if (bool limit = false; message->FindBool("LM", &limit) == B_OK)
            pTVView->Set16bitLimit(limit);
        break;
    case MSG_STATION_CHANGED:
        StationChanged(message);
        break;
    case MSG_NODE_ERROR:
        if (int32 number = 0; message->FindInt32("Number", &number) == B_OK)
            ShowNodeError(number);
        break;
    case B_ABOUT_REQUESTED:
        be_app_messenger.SendMessage(B_ABOUT_REQUESTED);
        break;
    default:
        BDirectWindow::MessageReceived(message);
        break;
    }
}

void TVWindow::ShowLevel(const char* caption, int32 (Preferences::*step)())
{
    // The loop holds the lock already; the nested lock keeps the handler safe on its own.
    Lock();
    const int32 level = (pPreferences->*step)();
    pSlider->SetSlider(caption, float(level));
    ShowFully(pSlider);
    overlayTimeout = OVERLAY_TIMEOUT;
    Unlock();
}

void TVWindow::ShowZap(bool up)
{
    Lock();
    // The presets belong to the suite's thread: they are read with its window locked.
    pChannelSuite->Lock();
    const std::string label = up ? pChannelSuite->ZapUp() : pChannelSuite->ZapDown();
    const std::string name = pChannelSuite->GetPresetName();
    pChannelSuite->Unlock();
    // Without a tuner or presets both overlays show empty boxes: the press is seen to arrive.
    pChannelLabel->SetText(label);
    ShowFully(pChannelLabel);
    pNameLabel->SetText(name);
    ShowFully(pNameLabel);
    overlayTimeout = OVERLAY_TIMEOUT;
    Unlock();
}

void TVWindow::SetSignalFormat(int32 format)
{
    pTVView->SetSignalFormat(format);
    MarkSignalFormat(format);
    PostMessage(MSG_OPTIMAL_SIZE);
}

void TVWindow::MarkSignalFormat(int32 format)
{
    // Radio mode unmarks the other item.
    if (BMenuItem* item = pVideoFormatMenu->ItemAt(format == FORMAT_16_9 ? 1 : 0))
        item->SetMarked(true);
}

void TVWindow::ToggleFullScreen()
{
    Lock();
    if (IsFullScreen())
        ExitFullScreen();
    else
        GoFullScreen();
    Unlock();
}

void TVWindow::GoFullScreen()
{
    // While suspended the screen shows the fitted mode: saving it would lose the user's.
    if (IsFullScreen() || fullScreenWorkspace >= 0)
        return;
    (void)screen->GetMode(&savedMode);
    savedWidth = Bounds().Width();
    savedHeight = Bounds().Height();
    pMenuBar->Hide();
    pControlPanel->Hide();
    pTVView->MoveTo(0, 0);

    pTVView->SetSignalFormat(FORMAT_4_3);
    MarkSignalFormat(FORMAT_4_3);
    const BRect signal = pTVView->GetSignalSize();
    float refresh = pTVView->GetFieldRate();
    if (pPreferences->GetDblRefresh())
        refresh *= 2;
    const FullScreenTarget target = ChooseFullScreenTarget(
        pPreferences->GetResolution(), pPreferences->GetTweakMode(), signal);
    ResizeTo(target.width, target.height);
    pTVView->ResizeTo(target.width + 1, target.height + 1);

    display_mode* modes = nullptr;
    uint32 count = 0;
    if (screen->GetModeList(&modes, &count) == B_OK) {
        const std::unique_ptr<display_mode, decltype(&std::free)> list(modes, &std::free);
        for (uint32 i = 0; i < count; i++) {
            const display_timing& timing = modes[i].timing;
            if (timing.h_display == target.modeWidth && timing.v_display == target.modeHeight
                && modes[i].space == savedMode.space) {
                FitDisplayMode(modes[i], target, refresh);
                break;
            }
        }
    }
    (void)SetFullScreen(true);
    if (be_app != nullptr)
        be_app->HideCursor();
    resizeDelay = RESIZE_DELAY;
}

void TVWindow::FitDisplayMode(display_mode mode, const FullScreenTarget& target, float refresh)
{
    // A screen may adjust what it is given: each step works on what it took.
    (void)screen->SetMode(&mode, false);
    snooze(MODE_SETTLE_TIME);
    (void)screen->GetMode(&mode);
    TrimModeTiming(&mode, target, pPreferences->GetAdaptSync());
    (void)screen->SetMode(&mode, false);
    snooze(MODE_SETTLE_TIME);
    (void)screen->GetMode(&mode);
    mode.timing.pixel_clock = RefreshPixelClock(mode.timing, refresh);
    (void)screen->SetMode(&mode, false);
    pTVView->ResizeTo(target.width, target.height);
}

void TVWindow::ExitFullScreen()
{
    if (!IsFullScreen())
        return;
    (void)screen->SetMode(&savedMode, false);
    (void)SetFullScreen(false);
    if (be_app != nullptr)
        be_app->ShowCursor();
    const float panelWidth = pControlPanel->Bounds().Width();
    const float menuBarHeight = pMenuBar->Bounds().Height();
    pTVView->MoveTo(panelWidth + 1, menuBarHeight + 1);
    pMenuBar->Show();
    pControlPanel->Show();
    ResizeTo(savedWidth, savedHeight);
    pTVView->ResizeTo(savedWidth - 1 - panelWidth, savedHeight - 1 - menuBarHeight);
    resizeDelay = RESIZE_DELAY;
}

void TVWindow::WorkspaceActivated(int32 workspace, bool active)
{
    if (IsFullScreen() && !active) {
        (void)SetFullScreen(false);
        Hide();
        fullScreenWorkspace = workspace;
    }
    if (IsHidden() && active && fullScreenWorkspace >= 0 && workspace == fullScreenWorkspace) {
        Show();
        (void)SetFullScreen(true);
        fullScreenWorkspace = -1;
    }
}

void TVWindow::OpenDocument(const entry_ref& ref)
{
    // The item is disabled when the document was missing; one that went since, or a desktop
    // without an opener, is not worth an alert.
    (void)be_roster->Launch(&ref);
}

void TVWindow::StationChanged(const BMessage* message)
{
    if (std::string name; message->FindString("Name", &name) == B_OK)
        SetTitle((baseTitle + " - " + name).c_str());
    if (int32 preset = 0; message->FindInt32("Preset", &preset) == B_OK)
        pControlPanel->SetStationNumber(preset);
}

void TVWindow::ShowNodeError(int32 number)
{
    const std::string text =
        std::string(NodeErrorText(number)) + "\nError #" + std::to_string(number);
    // The alert deletes itself when Go returns.
    auto* alert = new BAlert("Node error", text.c_str(), "Ok", nullptr, nullptr,
        B_WIDTH_AS_USUAL, B_STOP_ALERT);
    (void)alert->Go();
}

void TVWindow::ResizeToSignal()
{
    // Full-screen too: a format chosen there shows at its own size.
    const BRect signal = pTVView->GetSignalSize();
    const BRect view = pTVView->Bounds();
    // The size limits bound the result; the video view follows by its resizing mode.
    ResizeBy(signal.Width() - view.Width(), signal.Height() - view.Height());
}

bool TVWindow::QuitRequested()
{
    // The application hides, locks and quits this window as it quits.
    be_app_messenger.SendMessage(B_QUIT_REQUESTED);
    return false;
}

void TVWindow::FrameMoved(BPoint newPosition)
{
    // Kept for the settings file.
    if (pPreferences != nullptr)
        pPreferences->StoreNewLocation(newPosition);
}

void TVWindow::FrameResized(float, float)
{
    // A series of resizes sizes the video once, after the last of them.
    resizeDelay = RESIZE_DELAY;
}

void TVWindow::Zoom(BPoint, float, float)
{
    PostMessage(MSG_OPTIMAL_SIZE);
}

Preferences* TVWindow::PreferencesWindow() const
{
    return pPreferences;
}

ChannelSuite* TVWindow::ChannelSuiteWindow() const
{
    return pChannelSuite;
}

void TVWindow::Pulse()
{
    if (CountDown(resizeDelay))
        resizeDue = true;
    if (CountDown(overlayTimeout))
        overlaysDue = true;
    if (!resizeDue && !overlaysDue)
        return;
    if (LockWithTimeout(PULSE_LOCK_TIMEOUT) != B_OK)
        return;
    // A time-out restarted since it ran out has cancelled the work due.
    if (resizeDue.exchange(false) && resizeDelay == 0) {
        const BRect bounds = pTVView->Bounds();
        pTVView->SetSize(NodeManager::PixelCount(bounds.Width()),
            NodeManager::PixelCount(bounds.Height()));
    }
    if (overlaysDue.exchange(false) && overlayTimeout == 0)
        HideOverlays();
    Unlock();
}

void TVWindow::HideOverlays()
{
    // Hidden overlays of a window out of sight would not be seen to go; they stay for a later
    // time-out.
    const bool onCurrentWorkspace = (Workspaces() & (1u << current_workspace())) != 0;
    if (IsHidden() || IsMinimized() || !onCurrentWorkspace)
        return;
    HideFully(pChannelLabel);
    HideFully(pNameLabel);
    HideFully(pSlider);
}
