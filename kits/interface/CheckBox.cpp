#include "kits/interface/CheckBox.h"

#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"

#include <cmath>

namespace {

constexpr float BOX_SIZE = 12;
// Between the box and the label.
constexpr float LABEL_GAP = 5;

}

BCheckBox::BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    :
    BControl(frame, name, label, message, resizingMode, flags)
{
}

BCheckBox::~BCheckBox() = default;

BRect BCheckBox::BoxFrame() const
{
    const float top = std::floor((Bounds().Height() + 1 - BOX_SIZE) / 2);
    return BRect(0, top, BOX_SIZE - 1, top + BOX_SIZE - 1);
}

void BCheckBox::Draw(BRect)
{
    using namespace kits::interface;
    BRect box = BoxFrame();
    SetHighColor(IsEnabled() ? LIGHT_COLOR : PANEL_COLOR);
    FillRect(box);
    StrokeSunken(*this, box);
    if (Value() == B_CONTROL_ON) {
        // A cross filling the box inside its frame, two pixels thick.
        box.InsetBy(3, 3);
        SetHighColor(TextColor());
        StrokeLine(box.LeftTop(), box.RightBottom());
        StrokeLine(BPoint(box.left + 1, box.top), BPoint(box.right, box.bottom - 1));
        StrokeLine(box.LeftBottom(), box.RightTop());
        StrokeLine(BPoint(box.left + 1, box.bottom), BPoint(box.right, box.top + 1));
    }
    const float left = BOX_SIZE + LABEL_GAP;
    const float baseline = CentredBaseline(*this);
    SetHighColor(TextColor());
    DrawString(Label(), BPoint(left, baseline));
    if (IsFocus()) {
        SetHighColor(NAVIGATION_COLOR);
        StrokeLine(BPoint(left, baseline + 2),
            BPoint(left + std::ceil(StringWidth(Label())) - 1, baseline + 2));
    }
}

void BCheckBox::Toggle()
{
    SetValue(Value() == B_CONTROL_ON ? B_CONTROL_OFF : B_CONTROL_ON);
    (void)Invoke();
}

void BCheckBox::MouseDown(BPoint)
{
    if (!IsEnabled())
        return;
    MakeFocus();
    tracking = true;
}

void BCheckBox::MouseUp(BPoint where)
{
    if (!tracking)
        return;
    tracking = false;
    if (Bounds().Contains(where))
        Toggle();
}

void BCheckBox::KeyDown(const char* bytes, int32 numBytes)
{
    if (IsEnabled() && numBytes == 1 && bytes[0] == B_SPACE) {
        Toggle();
        return;
    }
    BControl::KeyDown(bytes, numBytes);
}
