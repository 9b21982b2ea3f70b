#pragma once
// Preferences: the window of the user's settings, its pages and the settings file.

#include "kits/interface/Window.h"
#include "kits/kernel/Point.h"
#include "kits/media/MediaDefs.h"

#include <array>

class BBox;
class BCheckBox;
class BContinuousParameter;
class BDiscreteParameter;
class BMenuField;
class BParameterGroup;
class BParameterWeb;
class BRadioButton;
class BSlider;
class BTabView;

// The settings file: one flattened message holding the keys of the General page's controls, the
// main window's top-left and the chosen audio source. Read when the window is made and written
// when it is destroyed.
inline constexpr const char* SETTINGS_PATH = "/boot/home/config/settings/Ovelin Prefs";
// Where the bytes of a settings file that could not be read are kept before it is replaced.
inline constexpr const char* DAMAGED_SETTINGS_PATH
    = "/boot/home/config/settings/Ovelin Prefs.damaged";
// The command of the message written; readers ignore it.
constexpr uint32 SETTINGS_COMMAND = 'CNLS';

// The signal options the window sends to the main window, in the main window's command space.
enum : uint32 {
    // "DI": int32 de-interlace mode, 0 none, 1 single field, 2 dual field interpolation,
    // 3 motion adaptive (the node manager's DEINTERLACE_ values).
    MSG_SET_DEINTERLACE = 0x10012,
    // "SF": bool, the subtitle contrast filter on or off.
    MSG_SET_SUBTITLE_FILTER = 0x10013,
    // "LM": bool, the 16-bit colour-depth limit on or off.
    MSG_SET_16BIT_LIMIT = 0x10014,
};

// The preferences window, created hidden with its loop running by the main window and living
// until the application ends (closing it only hides it; the application object quits it). Its
// controls hold the settings, on the pages of its tab view, each built by its own Init method:
// "General" (PreferencesGeneral.cpp) has the full-screen and signal options; when the media
// roster offers a video input and an audio output, "Audio" (PreferencesAudio.cpp) has the sound
// source and its volume and "Video" (PreferencesVideo.cpp) the card's picture controls, each
// bound to a parameter of the node. The settings file is read at construction, where the signal
// options and the source are posted to this window and so reach the main window and the volume
// slider once the loop runs, and written whole at destruction. The nodes' parameters are written
// on this window's thread only, when the commands of the controls are handled.
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
    // Writes the settings file and gives back the references to the media nodes that the media
    // set-up took.
    ~Preferences() override;

    // Forwards the signal options to the main window, writes the nodes' parameters from the
    // controls and binds the chosen audio source; other commands go to BWindow.
    void MessageReceived(BMessage* message) override;
    // Hides the window and keeps it.
    bool QuitRequested() override;

    // 0 none, 1 single field, 2 dual field interpolation, 3 motion adaptive.
    int32 GetDeInterlace();
    bool GetSubtitleFtr();
    // Full-screen resolution: 0 optimal, 1 640 x 480, 2 800 x 600, 3 1024 x 768.
    int32 GetResolution();
    bool GetTweakMode();
    bool GetAdaptSync();
    bool GetDblRefresh();

    // Level steps for the main window's commands, called on its thread: each moves its slider by
    // 5 within its range, with this window locked, and posts the slider's command to this
    // window, whose thread writes the parameter. The volume answers the slider's position, the
    // picture levels the position in per cent of the parameter's range; both 0 to 100, truncated.
    // 0, with nothing changed, when the nodes offer no such control.
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
    // The window's own commands, from its controls, the steps and the settings loader; the same
    // numbers mean other things to the main window.
    enum : uint32 {
        // Sends the de-interlace mode to the main window.
        CMD_DEINTERLACE = 0x10000,
        // Sends the subtitle filter's state.
        CMD_SUBTITLE_FILTER = 0x10001,
        // Sends the 16-bit limit's state.
        CMD_16BIT_LIMIT = 0x10002,
        // Write a picture switch's check box to the card.
        CMD_LUMA_CORING = 0x10003,
        CMD_CHROMA_COMB = 0x10004,
        CMD_GAMMA = 0x10005,
        CMD_ERROR_DIFFUSION = 0x10006,
        // Write a picture level's slider to the card.
        CMD_BRIGHTNESS = 0x10007,
        CMD_CONTRAST = 0x10008,
        CMD_SATURATION = 0x10009,
        CMD_HUE = 0x1000a,
        // Writes the volume slider's position to the volume.
        CMD_VOLUME = 0x1000b,
        // Binds the volume slider to the source marked in the source menu.
        CMD_SOURCE = 0x1000c,
    };
    // The picture levels, in the order of their sliders and commands; the switches follow the
    // order of their commands as well.
    enum Level : size_t { BRIGHTNESS, CONTRAST, SATURATION, HUE };
    static constexpr size_t PICTURE_CONTROLS = 4;

    // A plain page view filling the tab view below its tabs, added with a tab of that name.
    BView* AddPage(const char* name);
    // Builds the "General" page (PreferencesGeneral.cpp).
    void InitGeneral();
    // The media set-up (PreferencesAudio.cpp): finds the video input and the audio output,
    // binds the card's picture parameters and finds the audio output's "Output" group. B_OK when
    // the Audio and Video pages can be built, whether or not the audio output has a web.
    [[nodiscard]] status_t InitMediaRoster();
    // Builds the "Audio" page: the source menu and the volume slider (PreferencesAudio.cpp).
    void InitAudio();
    // Binds the volume slider to the selected source's "Volume" and shows its value; a source
    // without one keeps the binding there was.
    void InitAudioParameters();
    // Writes the volume slider's position to the volume, when one is bound.
    void ApplyVolume();
    // Selects the source marked in the source menu and binds the slider to it.
    void ChooseSource();
    // Moves the volume slider by step; see VolumeUp.
    int32 StepVolume(int32 step);
    // Binds the card's picture levels and switches to the parameters of its web
    // (PreferencesVideo.cpp).
    void BindPicture(const BParameterWeb& web);
    // Builds the "Video" page: a slider per level and a check box per switch.
    void InitVideo();
    // Writes the control of a picture command to its parameter, when one is bound.
    void ApplyPicture(uint32 command);
    // Moves the slider of a picture level by step; see BrightnessUp.
    int32 StepPicture(Level level, int32 step);

    // Reads the settings file into the controls; a damaged or foreign file is kept aside and
    // leaves the defaults. Whether the file gave the main window's top-left.
    bool LoadSettings();
    // Applies the keys present with their own types, posting the signal options and the source
    // to this window. Whether the file gave the main window's top-left.
    bool ApplySettings(const BMessage& settings);
    // Every key, in the order the file holds them.
    BMessage SettingsMessage();
    void SaveSettings();
    // Posts message to the main window, if there is one.
    void Forward(BMessage& message);

    // The views belong to the window's view tree; these observe them. The parameters belong to
    // their webs, which the media roster keeps for the life of the process; each is null while
    // its node does not offer it.
    BBox* background = nullptr;
    BTabView* tabView = nullptr;
    BWindow* mainWindow;
    // Guarded by this window's lock.
    BPoint storedLocation;
    // Set by the media set-up, during construction.
    std::array<BContinuousParameter*, PICTURE_CONTROLS> pictureLevels{};
    std::array<BDiscreteParameter*, PICTURE_CONTROLS> pictureSwitches{};
    BParameterGroup* audioOutputGroup = nullptr;
    // Guarded by this window's lock.
    BParameterGroup* selectedAudioGroup = nullptr;
    BContinuousParameter* volumeParameter = nullptr;
    BView* generalPage = nullptr;
    BCheckBox* chkDblRefresh = nullptr;
    BCheckBox* chkAdaptSync = nullptr;
    BCheckBox* chkTweakMode = nullptr;
    BCheckBox* chkSubContrast = nullptr;
    BCheckBox* chk16bitMax = nullptr;
    // Exclusive groups, in the order of the values they stand for.
    std::array<BRadioButton*, 4> resolutionButtons{};
    std::array<BRadioButton*, 4> deInterlaceButtons{};
    // The Audio page's controls exist together, when the audio output has an "Output" group.
    BView* audioPage = nullptr;
    BMenuField* sourceField = nullptr;
    BSlider* sldVolume = nullptr;
    BView* videoPage = nullptr;
    std::array<BCheckBox*, PICTURE_CONTROLS> switchBoxes{};
    std::array<BSlider*, PICTURE_CONTROLS> levelSliders{};
    // False when the file found could be neither read nor kept aside: it is then left alone.
    bool settingsWritable = true;
    // Nodes the media set-up took a reference to; media_node::null when there is none.
    media_node videoInput;
    media_node audioOutput;
};
