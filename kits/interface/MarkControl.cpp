#include "kits/interface/MarkControl.h"

#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"

#include <cmath>

namespace kits::interface {

namespace {

constexpr float MARK_SIZE = 12;
// Between the mark and the label.
constexpr float LABEL_GAP = 5;

}

MarkControl::MarkControl(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    :
    BControl(frame, name, label, message, resizingMode, flags)
{
}

BRect MarkControl::MarkFrame() const
{
    const float top = std::floor((Bounds().Height() + 1 - MARK_SIZE) / 2);
    return BRect(0, top, MARK_SIZE - 1, top + MARK_SIZE - 1);
}

void MarkControl::DrawLabel()
{
    const float left = MARK_SIZE + LABEL_GAP;
    const float baseline = CentredBaseline(*this);
    SetHighColor(TextColor());
    DrawString(Label(), BPoint(left, baseline));
    if (IsFocus()) {
        SetHighColor(NAVIGATION_COLOR);
        StrokeLine(BPoint(left, baseline + 2),
            BPoint(left + std::ceil(StringWidth(Label())) - 1, baseline + 2));
    }
}

void MarkControl::MouseDown(BPoint)
{
    if (!IsEnabled())
        return;
    MakeFocus();
    tracking = true;
}

void MarkControl::MouseUp(BPoint where)
{
    if (!tracking)
        return;
    tracking = false;
    if (Bounds().Contains(where))
        Act();
}

void MarkControl::KeyDown(const char* bytes, int32 numBytes)
{
    if (IsEnabled() && numBytes == 1 && bytes[0] == B_SPACE) {
        Act();
        return;
    }
    BControl::KeyDown(bytes, numBytes);
}

}
