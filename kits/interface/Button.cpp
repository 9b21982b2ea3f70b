#include "kits/interface/Button.h"

#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"

#include <cmath>

BButton::BButton(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    :
    BControl(frame, name, label, message, resizingMode, flags)
{
}

BButton::~BButton() = default;

void BButton::Draw(BRect)
{
    using namespace kits::interface;
    const BRect bounds = Bounds();
    const bool pressed = Value() == B_CONTROL_ON;
    SetHighColor(pressed ? SHADOW_COLOR : PANEL_COLOR);
    FillRect(bounds);
    if (pressed) {
        SetHighColor(DARK_SHADOW_COLOR);
        StrokeRect(bounds);
    } else if (IsEnabled())
        StrokeRaised(*this, bounds);
    else {
        SetHighColor(SHADOW_COLOR);
        StrokeRect(bounds);
    }
    const float width = StringWidth(Label());
    const float left = std::floor((bounds.Width() + 1 - width) / 2);
    const float baseline = CentredBaseline(*this);
    SetHighColor(TextColor());
    DrawString(Label(), BPoint(left, baseline));
    if (IsFocus()) {
        SetHighColor(NAVIGATION_COLOR);
        StrokeLine(BPoint(left, baseline + 2), BPoint(left + std::ceil(width) - 1, baseline + 2));
    }
}

void BButton::MouseDown(BPoint)
{
    if (!IsEnabled())
        return;
    MakeFocus();
    tracking = true;
    SetValue(B_CONTROL_ON);
}

void BButton::MouseMoved(BPoint where, uint32, const BMessage*)
{
    if (tracking)
        SetValue(Bounds().Contains(where) ? B_CONTROL_ON : B_CONTROL_OFF);
}

void BButton::MouseUp(BPoint where)
{
    if (!tracking)
        return;
    tracking = false;
    SetValue(B_CONTROL_OFF);
    if (Bounds().Contains(where))
        (void)Invoke();
}

void BButton::KeyDown(const char* bytes, int32 numBytes)
{
    if (IsEnabled() && numBytes == 1 && (bytes[0] == B_SPACE || bytes[0] == B_ENTER)) {
        (void)Invoke();
        return;
    }
    BControl::KeyDown(bytes, numBytes);
}
