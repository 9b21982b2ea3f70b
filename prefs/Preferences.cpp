// Lock order: the main window's lock before this window's; this window never locks the main one.
#include "prefs/Preferences.h"

#include "kits/app/Message.h"
#include "kits/interface/Box.h"
#include "kits/interface/CheckBox.h"
#include "kits/interface/Menu.h"
#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/RadioButton.h"
#include "kits/interface/TabView.h"
#include "kits/kernel/TypeConstants.h"
#include "kits/media/MediaRoster.h"
#include "kits/storage/File.h"
#include "prefs/PreferencesPrivate.h"
#include "video/ReplaceFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace {

using prefs::Locked;

constexpr BRect PREFERENCES_FRAME(100, 100, 550, 350);
// Between the window's edge and the tab view, and between the tab view and its pages.
constexpr float PAGE_MARGIN = 5;
// The keys of the settings file, in the order it holds them.
constexpr const char* SETTINGS_KEYS[] = {"chkDblRefresh", "chkAdaptSync", "chkTweakMode",
    "rdoResolution", "chkSubtitleFtr", "rdoDeInterlace", "chk16bitMax", "window_pos", "mnfSource"};

// Whether a message read from the settings file may be taken for settings: one without fields
// (another program's, or none) or with at least one of the keys. Otherwise it belongs to another
// program and must not be written over.
bool HoldsSettings(const BMessage& settings)
{
    if (settings.CountNames(B_ANY_TYPE) == 0)
        return true;
    return std::any_of(std::begin(SETTINGS_KEYS), std::end(SETTINGS_KEYS), [&](const char* key) {
        type_code type = 0;
        return settings.GetInfo(key, &type) == B_OK;
    });
}

bool IsOn(const BCheckBox* box)
{
    return box->Value() != B_CONTROL_OFF;
}

// The index of the button that is on, tried in order; 0 when none is.
template <size_t N>
int32 Chosen(const std::array<BRadioButton*, N>& buttons)
{
    for (size_t i = 0; i < N; i++) {
        if (buttons[i]->Value() == B_CONTROL_ON)
            return int32(i);
    }
    return 0;
}

// Turns on the button standing for value; a value outside the group changes nothing.
template <size_t N>
void Choose(const std::array<BRadioButton*, N>& buttons, int32 value)
{
    if (value >= 0 && size_t(value) < N)
        buttons[size_t(value)]->SetValue(B_CONTROL_ON);
}

}

Preferences::Preferences(BWindow* mainWindow)
    : BWindow(PREFERENCES_FRAME, "Ovelin Preferences", B_TITLED_WINDOW,
        B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
      mainWindow(mainWindow)
{
    // Where the main window opened is what the settings keep until it moves.
    if (mainWindow != nullptr)
        storedLocation = mainWindow->Frame().LeftTop();
    Lock();
    background = new BBox(Bounds(), "Background", B_FOLLOW_ALL_SIDES, B_WILL_DRAW, B_PLAIN_BORDER);
    AddChild(background);
    BRect frame = Bounds();
    frame.InsetBy(PAGE_MARGIN, PAGE_MARGIN);
    tabView = new BTabView(frame, "tab_view", B_WIDTH_AS_USUAL, B_FOLLOW_ALL_SIDES,
        B_FULL_UPDATE_ON_RESIZE | B_WILL_DRAW | B_NAVIGABLE_JUMP | B_FRAME_EVENTS | B_NAVIGABLE);
    tabView->SetViewColor(216, 216, 216, 0);
    generalPage = AddPage("General");
    InitGeneral();
    // Without the media nodes the General page stands alone.
    if (InitMediaRoster() == B_OK) {
        audioPage = AddPage("Audio");
        InitAudio();
        videoPage = AddPage("Video");
        InitVideo();
    }
    background->AddChild(tabView);
    const bool moveMainWindow = LoadSettings();
    // Showing and hiding at once starts the loop while the window stays invisible.
    Show();
    Hide();
    Unlock();
    // Moved without this window's lock, which the main window may wait for while holding its
    // own.
    if (moveMainWindow && mainWindow != nullptr)
        mainWindow->MoveTo(StoredLocation());
}

Preferences::~Preferences()
{
    SaveSettings();
    BMediaRoster* roster = BMediaRoster::CurrentRoster();
    if (roster == nullptr)
        return;
    for (const media_node& node : {videoInput, audioOutput}) {
        if (node != media_node::null)
            (void)roster->ReleaseNode(node);
    }
}

BView* Preferences::AddPage(const char* name)
{
    BRect frame = tabView->Bounds();
    frame.InsetBy(PAGE_MARGIN, PAGE_MARGIN);
    frame.bottom -= tabView->TabHeight();
    auto* page = new BView(frame, name, B_FOLLOW_NONE, 0);
    auto* tab = new BTab();
    tabView->AddTab(page, tab);
    tab->SetLabel(name);
    return page;
}

bool Preferences::LoadSettings()
{
    BFile file(SETTINGS_PATH, B_READ_ONLY);
    if (file.InitCheck() != B_OK) {
        // Without a file (the first start) the defaults are written at the end; a file that
        // cannot be opened is left alone.
        settingsWritable = file.InitCheck() == B_ENTRY_NOT_FOUND;
        return false;
    }
    off_t size = 0;
    if (file.GetSize(&size) != B_OK || size == 0)
        return false;
    BMessage settings;
    if (settings.Unflatten(&file) != B_OK || !HoldsSettings(settings)) {
        // Written over at the end, so the bytes are kept aside first; a file that can be
        // neither read nor kept is left alone.
        settingsWritable = video::KeepCopy(file, DAMAGED_SETTINGS_PATH) == B_OK;
        return false;
    }
    return ApplySettings(settings);
}

bool Preferences::ApplySettings(const BMessage& settings)
{
    bool on = false;
    for (const auto& [key, box] : {std::pair{"chkDblRefresh", chkDblRefresh},
             std::pair{"chkAdaptSync", chkAdaptSync}, std::pair{"chkTweakMode", chkTweakMode}}) {
        if (settings.FindBool(key, &on) == B_OK)
            box->SetValue(on ? B_CONTROL_ON : B_CONTROL_OFF);
    }
    int32 choice = 0;
    if (settings.FindInt32("rdoResolution", &choice) == B_OK)
        Choose(resolutionButtons, choice);
    // The signal options reach the main window through the commands, once the loop runs.
    if (settings.FindBool("chkSubtitleFtr", &on) == B_OK) {
        chkSubContrast->SetValue(on ? B_CONTROL_ON : B_CONTROL_OFF);
        (void)PostMessage(CMD_SUBTITLE_FILTER);
    }
    if (settings.FindInt32("rdoDeInterlace", &choice) == B_OK) {
        Choose(deInterlaceButtons, choice);
        (void)PostMessage(CMD_DEINTERLACE);
    }
    if (settings.FindBool("chk16bitMax", &on) == B_OK) {
        chk16bitMax->SetValue(on ? B_CONTROL_ON : B_CONTROL_OFF);
        (void)PostMessage(CMD_16BIT_LIMIT);
    }
    // A point that is no number would put the main window nowhere.
    BPoint where;
    const bool located = settings.FindPoint("window_pos", &where) == B_OK && std::isfinite(where.x)
        && std::isfinite(where.y);
    if (located)
        storedLocation = where;
    // The source is bound whatever the index: one beyond the menu leaves the default marked.
    if (sourceField != nullptr && settings.FindInt32("mnfSource", &choice) == B_OK) {
        if (BMenuItem* item = sourceField->Menu()->ItemAt(choice))
            item->SetMarked(true);
        (void)PostMessage(CMD_SOURCE);
    }
    return located;
}

BMessage Preferences::SettingsMessage()
{
    BMessage settings(SETTINGS_COMMAND);
    (void)settings.AddBool("chkDblRefresh", GetDblRefresh());
    (void)settings.AddBool("chkAdaptSync", GetAdaptSync());
    (void)settings.AddBool("chkTweakMode", GetTweakMode());
    (void)settings.AddInt32("rdoResolution", GetResolution());
    (void)settings.AddBool("chkSubtitleFtr", GetSubtitleFtr());
    (void)settings.AddInt32("rdoDeInterlace", GetDeInterlace());
    (void)settings.AddBool("chk16bitMax", IsOn(chk16bitMax));
    (void)settings.AddPoint("window_pos", StoredLocation());
    if (sourceField != nullptr) {
        BMenu* sources = sourceField->Menu();
        (void)settings.AddInt32("mnfSource", sources->IndexOf(sources->FindMarked()));
    }
    return settings;
}

void Preferences::SaveSettings()
{
    if (!settingsWritable)
        return;
    const BMessage settings = SettingsMessage();
    // A failure leaves the old file whole; the program is ending and has no one to tell.
    (void)video::ReplaceFile(SETTINGS_PATH, [&](BFile& file) { return settings.Flatten(&file); });
}

void Preferences::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case CMD_DEINTERLACE: {
        BMessage forward(MSG_SET_DEINTERLACE);
        (void)forward.AddInt32("DI", GetDeInterlace());
        Forward(forward);
        break;
    }
    case CMD_SUBTITLE_FILTER: {
        BMessage forward(MSG_SET_SUBTITLE_FILTER);
        (void)forward.AddBool("SF", GetSubtitleFtr());
        Forward(forward);
        break;
    }
    case CMD_16BIT_LIMIT: {
        BMessage forward(MSG_SET_16BIT_LIMIT);
        (void)forward.AddBool("LM", IsOn(chk16bitMax));
        Forward(forward);
        break;
    }
    case CMD_LUMA_CORING:
    case CMD_CHROMA_COMB:
    case CMD_GAMMA:
    case CMD_ERROR_DIFFUSION:
    case CMD_BRIGHTNESS:
    case CMD_CONTRAST:
    case CMD_SATURATION:
    case CMD_HUE:
        ApplyPicture(message->what);
        break;
    case CMD_VOLUME:
        ApplyVolume();
        break;
    case CMD_SOURCE:
        ChooseSource();
        break;
    default:
        BWindow::MessageReceived(message);
        break;
    }
}

void Preferences::Forward(BMessage& message)
{
    if (mainWindow != nullptr)
        (void)mainWindow->PostMessage(&message);
}

bool Preferences::QuitRequested()
{
    while (!IsHidden())
        Hide();
    return false;
}

int32 Preferences::GetDeInterlace()
{
    return Locked(*this, [&] { return Chosen(deInterlaceButtons); });
}

bool Preferences::GetSubtitleFtr()
{
    return Locked(*this, [&] { return IsOn(chkSubContrast); });
}

int32 Preferences::GetResolution()
{
    return Locked(*this, [&] { return Chosen(resolutionButtons); });
}

bool Preferences::GetTweakMode()
{
    return Locked(*this, [&] { return IsOn(chkTweakMode); });
}

bool Preferences::GetAdaptSync()
{
    return Locked(*this, [&] { return IsOn(chkAdaptSync); });
}

bool Preferences::GetDblRefresh()
{
    return Locked(*this, [&] { return IsOn(chkDblRefresh); });
}

void Preferences::StoreNewLocation(BPoint location)
{
    Locked(*this, [&] { storedLocation = location; });
}

BPoint Preferences::StoredLocation()
{
    return Locked(*this, [&] { return storedLocation; });
}

namespace prefs {

BBox* AddBox(BView* page, BRect frame, const char* label)
{
    auto* box = new BBox(frame);
    box->SetLabel(label);
    page->AddChild(box);
    return box;
}

bool HasPrefix(const char* name, const char* prefix)
{
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

int32 Truncated(double value)
{
    if (std::isnan(value))
        return 0;
    return int32(std::clamp(std::trunc(value), double(std::numeric_limits<int32>::min()),
        double(std::numeric_limits<int32>::max())));
}

int32 PerCent(double position, double low, double high)
{
    if (!(high > low) || !std::isfinite(high - low))
        return 0;
    return std::clamp(Truncated((position - low) / (high - low) * 100), 0, 100);
}

}
