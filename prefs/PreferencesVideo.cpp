// The "Video" page of the preferences window: the capture card's picture levels and switches,
// bound to the parameters of its web.
#include "prefs/Preferences.h"

#include "kits/app/Message.h"
#include "kits/interface/Box.h"
#include "kits/interface/CheckBox.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Slider.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "prefs/PreferencesPrivate.h"

namespace {

using prefs::HasPrefix;

// A remote-control press moves a picture level by this much (slider positions).
constexpr int32 PICTURE_STEP = 5;
// The range of a slider whose card offers no such level.
constexpr int32 UNBOUND_MINIMUM = -100;
constexpr int32 UNBOUND_MAXIMUM = 100;

// A control of the page and the prefix of the parameter's name in the card's web.
struct PictureControl {
    const char* webName;
    const char* name;
    const char* label;
    BRect frame;
};

// In the order of Preferences::Level and of the commands from CMD_BRIGHTNESS.
constexpr PictureControl LEVELS[] = {
    {"Brightness", "sldBright", "Brightness:", BRect(10, 15, 200, 45)},
    {"Contrast", "sldContrast", "Contrast:", BRect(10, 50, 200, 80)},
    {"Saturation", "sldSatur", "Saturation:", BRect(10, 85, 200, 115)},
    {"Hue", "sldHue", "Hue:", BRect(10, 120, 200, 150)},
};
// In the order of the commands from CMD_LUMA_CORING.
constexpr PictureControl SWITCHES[] = {
    {"Luma Coring", "chkLuma", "Luma coring", BRect(250, 15, 400, 30)},
    {"Chroma Comb", "chkChroma", "Chroma comb", BRect(250, 35, 400, 50)},
    {"Gamma", "chkGamma", "Gamma correction", BRect(250, 55, 400, 70)},
    {"Error Diffusion", "chkError", "Error diffusion", BRect(250, 75, 400, 90)},
};

}

void Preferences::BindPicture(const BParameterWeb& web)
{
    // Every parameter is compared with every name: the last match decides, and one of the wrong
    // kind unbinds.
    for (int32 i = 0; i < web.CountParameters(); i++) {
        BParameter* parameter = web.ParameterAt(i);
        for (size_t k = 0; k < PICTURE_CONTROLS; k++) {
            if (HasPrefix(parameter->Name(), LEVELS[k].webName))
                pictureLevels[k] = dynamic_cast<BContinuousParameter*>(parameter);
            if (HasPrefix(parameter->Name(), SWITCHES[k].webName))
                pictureSwitches[k] = dynamic_cast<BDiscreteParameter*>(parameter);
        }
    }
}

void Preferences::InitVideo()
{
    videoPage->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    BBox* box = prefs::AddBox(
        videoPage, BRect(5, 5, videoPage->Bounds().right - 5, 170), "Signal Correction");
    for (size_t k = 0; k < PICTURE_CONTROLS; k++) {
        const PictureControl& control = LEVELS[k];
        BContinuousParameter* parameter = pictureLevels[k];
        BSlider* slider = nullptr;
        if (parameter != nullptr) {
            slider = new BSlider(control.frame, control.name, control.label,
                new BMessage(CMD_BRIGHTNESS + uint32(k)), prefs::Truncated(parameter->MinValue()),
                prefs::Truncated(parameter->MaxValue()), B_BLOCK_THUMB,
                B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE);
        } else {
            slider = new BSlider(control.frame, control.name, control.label, nullptr,
                UNBOUND_MINIMUM, UNBOUND_MAXIMUM, B_BLOCK_THUMB, B_FOLLOW_LEFT | B_FOLLOW_TOP,
                B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE);
            slider->SetEnabled(false);
        }
        box->AddChild(slider);
        levelSliders[k] = slider;
        float value = 0;
        size_t size = sizeof(value);
        // A level that cannot be read leaves the slider where it was made.
        if (parameter != nullptr && parameter->GetValue(&value, &size, nullptr) == B_OK
            && size == sizeof(value)) {
            slider->SetValue(prefs::Truncated(value));
        }
    }
    for (size_t k = 0; k < PICTURE_CONTROLS; k++) {
        const PictureControl& control = SWITCHES[k];
        BDiscreteParameter* parameter = pictureSwitches[k];
        auto* check = new BCheckBox(control.frame, control.name, control.label,
            new BMessage(CMD_LUMA_CORING + uint32(k)), B_FOLLOW_LEFT | B_FOLLOW_TOP,
            B_WILL_DRAW | B_NAVIGABLE);
        box->AddChild(check);
        switchBoxes[k] = check;
        int32 value = 0;
        size_t size = sizeof(value);
        if (parameter == nullptr)
            check->SetEnabled(false);
        else if (parameter->GetValue(&value, &size, nullptr) == B_OK && size == sizeof(value))
            check->SetValue(value != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
    }
}

void Preferences::ApplyPicture(uint32 command)
{
    // The card applies a change stamped with the real time of the moment at once.
    if (command >= CMD_BRIGHTNESS) {
        const size_t k = command - CMD_BRIGHTNESS;
        if (pictureLevels[k] == nullptr)
            return;
        const float value = float(levelSliders[k]->Value());
        (void)pictureLevels[k]->SetValue(&value, sizeof(value), BTimeSource::RealTime());
    } else {
        const size_t k = command - CMD_LUMA_CORING;
        if (pictureSwitches[k] == nullptr)
            return;
        const int32 value = switchBoxes[k]->Value() != B_CONTROL_OFF ? 1 : 0;
        (void)pictureSwitches[k]->SetValue(&value, sizeof(value), BTimeSource::RealTime());
    }
}

int32 Preferences::StepPicture(Level level, int32 step)
{
    // Bound during construction only, so read without the lock.
    BContinuousParameter* parameter = pictureLevels[level];
    if (parameter == nullptr)
        return 0;
    BSlider* slider = levelSliders[level];
    const int32 value = prefs::Locked(*this, [&] {
        slider->SetValue(prefs::Truncated(double(slider->Value()) + step));
        // The card is written on this window's thread, as for a move of the slider.
        (void)PostMessage(CMD_BRIGHTNESS + uint32(level));
        return slider->Value();
    });
    return prefs::PerCent(value, parameter->MinValue(), parameter->MaxValue());
}

int32 Preferences::BrightnessUp()
{
    return StepPicture(BRIGHTNESS, PICTURE_STEP);
}

int32 Preferences::BrightnessDown()
{
    return StepPicture(BRIGHTNESS, -PICTURE_STEP);
}

int32 Preferences::ContrastUp()
{
    return StepPicture(CONTRAST, PICTURE_STEP);
}

int32 Preferences::ContrastDown()
{
    return StepPicture(CONTRAST, -PICTURE_STEP);
}

int32 Preferences::SaturationUp()
{
    return StepPicture(SATURATION, PICTURE_STEP);
}

int32 Preferences::SaturationDown()
{
    return StepPicture(SATURATION, -PICTURE_STEP);
}
