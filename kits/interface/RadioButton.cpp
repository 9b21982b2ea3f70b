#include "kits/interface/RadioButton.h"

#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"

#include <cmath>

namespace {

constexpr float BUTTON_SIZE = 12;
// Between the button and the label.
constexpr float LABEL_GAP = 5;
// The dot of a button that is on, inside the button's edge.
constexpr float DOT_INSET = 3;

}

BRadioButton::BRadioButton(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags)
{
}

BRadioButton::~BRadioButton() = default;

void BRadioButton::SetValue(int32 value)
{
    const int32 on = value != B_CONTROL_OFF ? B_CONTROL_ON : B_CONTROL_OFF;
    BControl::SetValue(on);
    if (on == B_CONTROL_OFF || Parent() == nullptr)
        return;
    for (int32 i = 0; i < Parent()->CountChildren(); i++) {
        auto* sibling = dynamic_cast<BRadioButton*>(Parent()->ChildAt(i));
        if (sibling != nullptr && sibling != this)
            sibling->BControl::SetValue(B_CONTROL_OFF);
    }
}

BRect BRadioButton::ButtonFrame() const
{
    const float top = std::floor((Bounds().Height() + 1 - BUTTON_SIZE) / 2);
    return BRect(0, top, BUTTON_SIZE - 1, top + BUTTON_SIZE - 1);
}

void BRadioButton::Draw(BRect)
{
    using namespace kits::interface;
    BRect button = ButtonFrame();
    SetHighColor(IsEnabled() ? LIGHT_COLOR : PANEL_COLOR);
    FillArc(button, 0, 360);
    SetHighColor(SHADOW_COLOR);
    StrokeArc(button, 0, 360);
    if (Value() == B_CONTROL_ON) {
        button.InsetBy(DOT_INSET, DOT_INSET);
        SetHighColor(TextColor());
        FillArc(button, 0, 360);
    }
    const float left = BUTTON_SIZE + LABEL_GAP;
    const float baseline = CentredBaseline(*this);
    SetHighColor(TextColor());
    DrawString(Label(), BPoint(left, baseline));
    if (IsFocus()) {
        SetHighColor(NAVIGATION_COLOR);
        StrokeLine(BPoint(left, baseline + 2),
            BPoint(left + std::ceil(StringWidth(Label())) - 1, baseline + 2));
    }
}

void BRadioButton::Choose()
{
    SetValue(B_CONTROL_ON);
    (void)Invoke();
}

void BRadioButton::MouseDown(BPoint)
{
    if (!IsEnabled())
        return;
    MakeFocus();
    tracking = true;
}

void BRadioButton::MouseUp(BPoint where)
{
    if (!tracking)
        return;
    tracking = false;
    if (Bounds().Contains(where))
        Choose();
}

void BRadioButton::KeyDown(const char* bytes, int32 numBytes)
{
    if (IsEnabled() && numBytes == 1 && bytes[0] == B_SPACE) {
        Choose();
        return;
    }
    BControl::KeyDown(bytes, numBytes);
}
