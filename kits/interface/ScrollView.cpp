#include "kits/interface/ScrollView.h"

#include "kits/interface/ControlPrivate.h"

namespace {

BRect GrownFrame(const BView* target, bool horizontal, bool vertical, float border)
{
    BRect frame = target != nullptr ? target->Frame() : BRect(0, 0, 0, 0);
    if (vertical)
        frame.right += B_V_SCROLL_BAR_WIDTH + 1;
    if (horizontal)
        frame.bottom += B_H_SCROLL_BAR_HEIGHT + 1;
    frame.InsetBy(-border, -border);
    return frame;
}

}

BScrollView::BScrollView(const char* name, BView* target, uint32 resizingMode, uint32 flags,
    bool horizontal, bool vertical, border_style border)
    :
    BView(GrownFrame(target != nullptr && target->Parent() == nullptr ? target : nullptr,
              horizontal, vertical, BorderSize(border)),
        name, resizingMode, flags | B_WILL_DRAW | B_FRAME_EVENTS),
    border(border)
{
    if (target != nullptr && target->Parent() == nullptr) {
        this->target = target;
        AddChild(target);
    }
    if (horizontal) {
        horizontalBar = new BScrollBar(BRect(0, 0, 0, B_H_SCROLL_BAR_HEIGHT), "_HSB_",
            this->target, 0, 0, B_HORIZONTAL);
        AddChild(horizontalBar);
    }
    if (vertical) {
        verticalBar = new BScrollBar(BRect(0, 0, B_V_SCROLL_BAR_WIDTH, 0), "_VSB_",
            this->target, 0, 0, B_VERTICAL);
        AddChild(verticalBar);
    }
    Layout();
}

BScrollView::~BScrollView() = default;

float BScrollView::BorderSize(border_style border)
{
    return border == B_FANCY_BORDER ? 2 : border == B_PLAIN_BORDER ? 1 : 0;
}

void BScrollView::Layout()
{
    BRect inside = Bounds();
    inside.InsetBy(BorderSize(border), BorderSize(border));
    BRect content = inside;
    if (verticalBar != nullptr)
        content.right -= B_V_SCROLL_BAR_WIDTH + 1;
    if (horizontalBar != nullptr)
        content.bottom -= B_H_SCROLL_BAR_HEIGHT + 1;
    if (target != nullptr) {
        target->MoveTo(content.LeftTop());
        target->ResizeTo(content.Width(), content.Height());
    }
    if (verticalBar != nullptr) {
        verticalBar->MoveTo(content.right + 1, inside.top);
        verticalBar->ResizeTo(B_V_SCROLL_BAR_WIDTH, content.Height());
    }
    if (horizontalBar != nullptr) {
        horizontalBar->MoveTo(inside.left, content.bottom + 1);
        horizontalBar->ResizeTo(content.Width(), B_H_SCROLL_BAR_HEIGHT);
    }
}

BScrollBar* BScrollView::ScrollBar(orientation direction) const
{
    return direction == B_VERTICAL ? verticalBar : horizontalBar;
}

BView* BScrollView::Target() const
{
    return target;
}

void BScrollView::SetBorder(border_style newBorder)
{
    if (newBorder == border)
        return;
    border = newBorder;
    Layout();
    Invalidate();
}

border_style BScrollView::Border() const
{
    return border;
}

void BScrollView::Draw(BRect)
{
    using namespace kits::interface;
    const BRect bounds = Bounds();
    if (border == B_PLAIN_BORDER) {
        SetHighColor(SHADOW_COLOR);
        StrokeRect(bounds);
    } else if (border == B_FANCY_BORDER) {
        SetHighColor(SHADOW_COLOR);
        StrokeLine(bounds.LeftBottom(), bounds.LeftTop());
        StrokeLine(bounds.RightTop());
        SetHighColor(LIGHT_COLOR);
        StrokeLine(BPoint(bounds.right, bounds.top + 1), bounds.RightBottom());
        StrokeLine(BPoint(bounds.left + 1, bounds.bottom));
        SetHighColor(DARK_SHADOW_COLOR);
        StrokeRect(BRect(bounds.left + 1, bounds.top + 1, bounds.right - 1, bounds.bottom - 1));
    }
    // The corner between two bars.
    if (horizontalBar != nullptr && verticalBar != nullptr) {
        SetHighColor(PANEL_COLOR);
        FillRect(BRect(verticalBar->Frame().left, horizontalBar->Frame().top,
            verticalBar->Frame().right, horizontalBar->Frame().bottom));
    }
}
