#include "kits/interface/RadioButton.h"

#include "kits/interface/ControlPrivate.h"

namespace {

// The dot of a button that is on, inside the button's edge.
constexpr float DOT_INSET = 3;

}

BRadioButton::BRadioButton(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    :
    MarkControl(frame, name, label, message, resizingMode, flags)
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
    return MarkFrame();
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
    DrawLabel();
}

void BRadioButton::Act()
{
    SetValue(B_CONTROL_ON);
    (void)Invoke();
}
