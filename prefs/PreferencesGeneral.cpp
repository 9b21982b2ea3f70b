// The "General" page of the preferences window: full-screen and signal options.
#include "prefs/Preferences.h"

#include "kits/app/Message.h"
#include "kits/interface/Box.h"
#include "kits/interface/CheckBox.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/RadioButton.h"
#include "kits/interface/StringView.h"
#include "prefs/PreferencesPrivate.h"

namespace {

using prefs::AddBox;

// A control added to box and set to value at once, as the page's defaults are.
template <typename Control>
Control* Add(BView* box, Control* control, int32 value)
{
    box->AddChild(control);
    control->SetValue(value);
    return control;
}

// The message of a control, or none for a command of 0.
BMessage* Command(uint32 command)
{
    return command != 0 ? new BMessage(command) : nullptr;
}

struct Choice {
    const char* name;
    const char* label;
    BRect frame;
};

// Adds one exclusive group, the first button on, every button sending command.
template <size_t N>
void AddChoices(
    BView* box, const Choice (&choices)[N], uint32 command, std::array<BRadioButton*, N>& buttons)
{
    for (size_t i = 0; i < N; i++) {
        buttons[i] = Add(box,
            new BRadioButton(
                choices[i].frame, choices[i].name, choices[i].label, Command(command)),
            i == 0 ? B_CONTROL_ON : B_CONTROL_OFF);
    }
}

}

void Preferences::InitGeneral()
{
    generalPage->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    const BRect page = generalPage->Bounds();

    BBox* fullScreen = AddBox(generalPage, BRect(5, 5, page.right - 5, 100), "Fullscreen mode");
    chkDblRefresh = Add(fullScreen,
        new BCheckBox(
            BRect(10, 15, 200, 30), "chkDblRefresh", "Double refresh (100/120 Hz)", nullptr),
        B_CONTROL_ON);
    chkAdaptSync = Add(fullScreen,
        new BCheckBox(
            BRect(10, 35, 200, 50), "chkAdaptSync", "Adjust sync (to fill screen)", nullptr),
        B_CONTROL_ON);
    chkTweakMode = Add(fullScreen,
        new BCheckBox(
            BRect(10, 55, 200, 75), "chkTweakMode", "Tweak resolution (768 x 576)", nullptr),
        B_CONTROL_ON);
    fullScreen->AddChild(new BStringView(BRect(210, 15, 270, 30), "Resolution", "Resolution:"));
    // The full-screen options send nothing: the main window asks for them when it switches.
    const Choice resolutions[] = {
        {"rdoModeDefault", "Optimal", BRect(275, 15, 350, 30)},
        {"rdoMode640480", "640 x 480", BRect(275, 30, 350, 45)},
        {"rdoMode800600", "800 x 600", BRect(275, 45, 350, 60)},
        {"rdoMode1024768", "1024 x 768", BRect(275, 60, 350, 75)},
    };
    AddChoices(fullScreen, resolutions, 0, resolutionButtons);

    BBox* signal = AddBox(generalPage, BRect(5, 110, page.right - 5, page.bottom - 5), "Signal");
    chkSubContrast = Add(signal,
        new BCheckBox(BRect(10, 15, 200, 30), "chkSubContrast", "Increase contrast on subtitles",
            Command(CMD_SUBTITLE_FILTER)),
        B_CONTROL_OFF);
    chk16bitMax = Add(signal,
        new BCheckBox(BRect(10, 35, 200, 50), "chk16bitMax", "Maximum colordepth of 16-bits",
            Command(CMD_16BIT_LIMIT)),
        B_CONTROL_ON);
    signal->AddChild(new BStringView(BRect(210, 15, 270, 30), "De-interlace", "De-interlace:"));
    // Every button sends the same command, which sends the whole de-interlace state. Motion
    // adaptive continues the column below the others, which keep their places.
    const Choice modes[] = {
        {"rdoDInone", "None", BRect(275, 15, 412, 30)},
        {"rdoDIsingle", "Single field (fast)", BRect(275, 30, 412, 45)},
        {"rdoDIdouble", "Dual field interpolation", BRect(275, 45, 412, 60)},
        {"rdoDImotion", "Motion adaptive", BRect(275, 60, 412, 75)},
    };
    AddChoices(signal, modes, CMD_DEINTERLACE, deInterlaceButtons);
}
