#include "kits/interface/ControlPrivate.h"

#include "kits/app/Message.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/kernel/OS.h"

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
