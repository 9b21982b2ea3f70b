#include "kits/interface/ControlPrivate.h"

#include "kits/app/Message.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/kernel/OS.h"

#include <cmath>

namespace kits::interface {

void StrokeSunken(BView& view, BRect rect)
{
    const rgb_color high = view.HighColor();
    view.SetHighColor(SHADOW_COLOR);
    view.StrokeRect(rect);
    view.SetHighColor(INNER_SHADOW_COLOR);
    view.StrokeLine(BPoint(rect.left + 1, rect.bottom - 1), BPoint(rect.left + 1, rect.top + 1));
    view.StrokeLine(BPoint(rect.right - 1, rect.top + 1));
    view.SetHighColor(high);
}

void StrokeRaised(BView& view, BRect rect)
{
    const rgb_color high = view.HighColor();
    view.SetHighColor(DARK_SHADOW_COLOR);
    view.StrokeRect(rect);
    rect.InsetBy(1, 1);
    view.SetHighColor(LIGHT_COLOR);
    view.StrokeLine(rect.LeftBottom(), rect.LeftTop());
    view.StrokeLine(rect.RightTop());
    view.SetHighColor(SHADOW_COLOR);
    view.StrokeLine(BPoint(rect.right, rect.top + 1), rect.RightBottom());
    view.StrokeLine(BPoint(rect.left + 1, rect.bottom));
    view.SetHighColor(high);
}

float LabelDivider(const char* label)
{
    return label[0] != '\0' ? std::ceil(be_plain_font->StringWidth(label)) + 6 : 0;
}

float CentredBaseline(const BView& view)
{
    BFont font;
    view.GetFont(&font);
    font_height height;
    font.GetHeight(&height);
    return std::floor(
        (view.Bounds().Height() + 1 - (height.ascent + height.descent)) / 2 + height.ascent);
}

rgb_color ParentPanelColor(const BView& view)
{
    const BView* parent = view.Parent();
    // Only the window's own top view has no parent.
    if (parent == nullptr || parent->Parent() == nullptr)
        return PANEL_COLOR;
    return parent->ViewColor();
}

void AddInvokeFields(BMessage& message, const void* source)
{
    (void)message.AddInt64("when", system_time());
    (void)message.AddPointer("source", source);
}

int32 CurrentClicks(const BView& view)
{
    const BMessage* current = view.Window() != nullptr ? view.Window()->CurrentMessage() : nullptr;
    int32 clicks = 1;
    if (current != nullptr)
        (void)current->FindInt32("clicks", &clicks);
    return clicks;
}

}
