// Lock order: the main window's lock before this window's; this window never locks the main one.
#include "prefs/Preferences.h"

#include "kits/app/Message.h"
#include "kits/interface/Box.h"
#include "kits/interface/CheckBox.h"
#include "kits/interface/RadioButton.h"
#include "kits/interface/TabView.h"
#include "kits/kernel/TypeConstants.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "kits/storage/File.h"
#include "video/ReplaceFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr BRect PREFERENCES_FRAME(100, 100, 550, 350);
// Between the window's edge and the tab view, and between the tab view and its pages.
constexpr float PAGE_MARGIN = 5;
// The keys of the settings file, in the order it holds them.
constexpr const char* SETTINGS_KEYS[] = {"chkDblRefresh", "chkAdaptSync", "chkTweakMode",
    "rdoResolution", "chkSubtitleFtr", "rdoDeInterlace", "chk16bitMax", "window_pos"};
// A remote-control press moves a level by this much (slider units).
constexpr int32 LEVEL_STEP = 5;
// The volume slider runs over per cent of the parameter's range.
constexpr int32 VOLUME_MAXIMUM = 100;

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

// What read answers with the window locked.
template <typename Read>
auto Locked(BWindow& window, Read read)
{
    struct Unlocker {
        BWindow& window;
        ~Unlocker() { window.Unlock(); }
    };
    window.Lock();
    const Unlocker unlocker{window};
    return read();
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
    const std::vector<float> values(size_t(std::max<int32>(parameter->CountChannels(), 1)), value);
    (void)parameter->SetValue(
        values.data(), values.size() * sizeof(float), BTimeSource::RealTime());
}

// The web of the node, or null; node is left null when the roster offers none.
BParameterWeb* WebOf(
    BMediaRoster* roster, status_t (BMediaRoster::*get)(media_node*), media_node& node)
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
    // The set-up binds the stepped levels and offers no pages of its own: the General page
    // stands alone.
    (void)InitMediaRoster();
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

status_t Preferences::InitMediaRoster()
{
    BindPicture();
    BindVolume();
    return B_UNSUPPORTED;
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
    if (settings.FindPoint("window_pos", &where) != B_OK || !std::isfinite(where.x)
        || !std::isfinite(where.y)) {
        return false;
    }
    storedLocation = where;
    return true;
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

void Preferences::BindPicture()
{
    BMediaRoster* roster = BMediaRoster::CurrentRoster();
    BParameterWeb* web
        = roster != nullptr ? WebOf(roster, &BMediaRoster::GetVideoInput, videoInput) : nullptr;
    if (web == nullptr)
        return;
    const std::pair<const char*, Level*> levels[]
        = {{"Brightness", &brightness}, {"Contrast", &contrast}, {"Saturation", &saturation}};
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
    BParameterWeb* web
        = roster != nullptr ? WebOf(roster, &BMediaRoster::GetAudioOutput, audioOutput) : nullptr;
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
