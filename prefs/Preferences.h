#pragma once
// Preferences: the window of the user's settings, its pages and the settings file.

#include "kits/interface/Window.h"
#include "kits/kernel/Point.h"
#include "kits/media/MediaDefs.h"

#include <array>

class BBox;
class BCheckBox;
class BContinuousParameter;
class BRadioButton;
class BTabView;

// The settings file: one flattened message holding the keys of the General page's controls and
// the main window's top-left. Read when the window is made and written when it is destroyed.
inline constexpr const char* SETTINGS_PATH = "/boot/home/config/settings/Ovelin Prefs";
// Where the bytes of a settings file that could not be read are kept before it is replaced.
inline constexpr const char* DAMAGED_SETTINGS_PATH
    = "/boot/home/config/settings/Ovelin Prefs.damaged";
// The command of the message written; readers ignore it.
constexpr uint32 SETTINGS_COMMAND = 'CNLS';

// The signal options the window sends to the main window, in the main window's command space.
enum : uint32 {
    // "DI": int32 de-interlace mode, 0 none, 1 single field, 2 dual field interpolation.
    MSG_SET_DEINTERLACE = 0x10012,
    // "SF": bool, the subtitle contrast filter on or off.
    MSG_SET_SUBTITLE_FILTER = 0x10013,
    // "LM": bool, the 16-bit colour-depth limit on or off.
    MSG_SET_16BIT_LIMIT = 0x10014,
};

// The preferences window, created hidden with its loop running by the main window and living
// until the application ends (closing it only hides it; the application object quits it). Its
// controls hold the settings: the tab view's "General" page has the full-screen and signal
// options, each page being built by its own Init method (PreferencesGeneral.cpp). The settings
// file is read at construction, where the signal options are posted to this window and so
// reach the main window once the loop runs, and written whole at destruction. The levels it
// steps are those of the card's "Brightness", "Contrast" and "Saturation" and the "Volume" of
// the audio output's "Line" source, when the media nodes offer them.
//
// The accessors, StoreNewLocation and the steps are called from the main window's thread and
// take this window's lock, as the controls change on this window's thread.
//
// Lock order: the main window may lock this window while holding its own; this window never
// locks the main window (it posts to it).
class Preferences : public BWindow {
public:
    // mainWindow is not owned and may be null; it receives the signal options and is moved to
    // the stored location. Builds the pages, reads the settings file and starts the loop with
    // the window hidden.
    explicit Preferences(BWindow* mainWindow);
    // Writes the settings file and gives back the references to the media nodes that binding
    // the levels took.
    ~Preferences() override;

    // Forwards the signal options to the main window; other commands go to BWindow.
    void MessageReceived(BMessage* message) override;
    // Hides the window and keeps it.
    bool QuitRequested() override;

    // 0 none, 1 single field, 2 dual field interpolation.
    int32 GetDeInterlace();
    bool GetSubtitleFtr();
    // Full-screen resolution: 0 optimal, 1 640 x 480, 2 800 x 600, 3 1024 x 768.
    int32 GetResolution();
    bool GetTweakMode();
    bool GetAdaptSync();
    bool GetDblRefresh();

    // Level steps for the main window's commands, called on its thread: each moves its level by
    // 5 within its range, writes it to the node's parameter and returns the level in per cent
    // (0 to 100), truncated; 0, with nothing changed, when the nodes offer no such control. Each
    // takes this window's lock around the change.
    int32 VolumeUp();
    int32 VolumeDown();
    int32 BrightnessUp();
    int32 BrightnessDown();
    int32 ContrastUp();
    int32 ContrastDown();
    int32 SaturationUp();
    int32 SaturationDown();

    // Keeps the main window's top-left for the settings file, which is written at destruction.
    void StoreNewLocation(BPoint location);
    BPoint StoredLocation();

private:
    // The window's own commands, from its controls and the settings loader; the same numbers
    // mean other things to the main window.
    enum : uint32 {
        // Sends the de-interlace mode to the main window.
        CMD_DEINTERLACE = 0x10000,
        // Sends the subtitle filter's state.
        CMD_SUBTITLE_FILTER = 0x10001,
        // Sends the 16-bit limit's state.
        CMD_16BIT_LIMIT = 0x10002,
    };

    // One stepped level: a parameter of a media node and the position a slider would show,
    // within minimum to maximum. The parameter belongs to its web, which the media roster keeps
    // for the life of the process; null when the node does not offer it.
    struct Level {
        BContinuousParameter* parameter = nullptr;
        int32 position = 0;
        int32 minimum = 0;
        int32 maximum = 0;
    };

    // A plain page view filling the tab view below its tabs, added with a tab of that name.
    BView* AddPage(const char* name);
    // Builds the "General" page (PreferencesGeneral.cpp).
    void InitGeneral();
    // The media set-up: finds the nodes and binds the stepped levels to their parameters. The
    // window builds no pages on those parameters, so it answers B_UNSUPPORTED and the General
    // page stands alone.
    [[nodiscard]] status_t InitMediaRoster();
    void BindPicture();
    void BindVolume();

    // Reads the settings file into the controls; a damaged or foreign file is kept aside and
    // leaves the defaults. Whether the file gave the main window's top-left.
    bool LoadSettings();
    // Applies the keys present with their own types, posting the signal options to this window.
    bool ApplySettings(const BMessage& settings);
    // Every key, in the order the file holds them.
    BMessage SettingsMessage();
    void SaveSettings();
    // Posts message to the main window, if there is one.
    void Forward(BMessage& message);

    // Moves a picture level (positions in the parameter's own units) or the volume (positions
    // in per cent of the parameter's range) by step; see VolumeUp.
    int32 StepPicture(Level& level, int32 step);
    int32 StepVolume(int32 step);

    // The views belong to the window's view tree; these observe them.
    BBox* background = nullptr;
    BTabView* tabView = nullptr;
    BWindow* mainWindow;
    // Guarded by this window's lock.
    BPoint storedLocation;
    BView* generalPage = nullptr;
    BCheckBox* chkDblRefresh = nullptr;
    BCheckBox* chkAdaptSync = nullptr;
    BCheckBox* chkTweakMode = nullptr;
    BCheckBox* chkSubContrast = nullptr;
    BCheckBox* chk16bitMax = nullptr;
    // Exclusive groups, in the order of the values they stand for.
    std::array<BRadioButton*, 4> resolutionButtons{};
    std::array<BRadioButton*, 3> deInterlaceButtons{};
    // False when the file found could be neither read nor kept aside: it is then left alone.
    bool settingsWritable = true;
    // Positions guarded by this window's lock; the parameters are set during construction.
    Level brightness;
    Level contrast;
    Level saturation;
    Level volume;
    // Nodes whose webs the levels use; media_node::null when there is none.
    media_node videoInput;
    media_node audioOutput;
};
