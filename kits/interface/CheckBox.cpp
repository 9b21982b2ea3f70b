#include "kits/interface/CheckBox.h"

#include "kits/interface/ControlPrivate.h"

BCheckBox::BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    :
    MarkControl(frame, name, label, message, resizingMode, flags)
{
}

BCheckBox::~BCheckBox() = default;

BRect BCheckBox::BoxFrame() const
{
    return MarkFrame();
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
    DrawLabel();
}

void BCheckBox::Act()
{
    SetValue(Value() == B_CONTROL_ON ? B_CONTROL_OFF : B_CONTROL_ON);
    (void)Invoke();
}
