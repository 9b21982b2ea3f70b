#include "kits/interface/Box.h"

#include "kits/interface/ControlPrivate.h"

#include <algorithm>
#include <cmath>

namespace {

// Where the label's text starts, and the gap kept clear of the border on both its sides.
constexpr float LABEL_LEFT = 10;
constexpr float LABEL_GAP = 3;

}

BBox::BBox(BRect frame, const char* name, uint32 resizingMode, uint32 flags, border_style border)
    :
    BView(frame, name, resizingMode, flags),
    border(border)
{
    SetFont(be_bold_font);
}

BBox::~BBox() = default;

void BBox::SetBorder(border_style newBorder)
{
    if (newBorder == border)
        return;
    border = newBorder;
    Invalidate();
}

border_style BBox::Border() const
{
    return border;
}

void BBox::SetLabel(const char* newLabel)
{
    label = newLabel != nullptr ? newLabel : "";
    Invalidate();
}

const char* BBox::Label() const
{
    return label.empty() ? nullptr : label.c_str();
}

float BBox::LabelHeight() const
{
    if (label.empty())
        return 0;
    BFont font;
    GetFont(&font);
    font_height height;
    font.GetHeight(&height);
    return std::ceil(height.ascent + height.descent);
}

float BBox::TopBorder() const
{
    return std::floor(LabelHeight() / 2);
}

BRect BBox::InnerFrame() const
{
    const float inset = border == B_FANCY_BORDER ? 2 : border == B_PLAIN_BORDER ? 1 : 0;
    BRect inner = Bounds();
    inner.InsetBy(inset, inset);
    if (!label.empty())
        inner.top = std::max(inner.top, LabelHeight());
    return inner;
}

void BBox::Draw(BRect)
{
    BRect frame = Bounds();
    frame.top = TopBorder();
    const rgb_color high = HighColor();
    if (border == B_PLAIN_BORDER) {
        SetHighColor(kits::interface::LIGHT_COLOR);
        StrokeLine(frame.LeftBottom(), frame.LeftTop());
        StrokeLine(frame.RightTop());
        SetHighColor(kits::interface::SHADOW_COLOR);
        StrokeLine(BPoint(frame.right, frame.top + 1), frame.RightBottom());
        StrokeLine(BPoint(frame.left + 1, frame.bottom));
    } else if (border == B_FANCY_BORDER) {
        SetHighColor(kits::interface::LIGHT_COLOR);
        StrokeRect(BRect(frame.left + 1, frame.top + 1, frame.right, frame.bottom));
        SetHighColor(kits::interface::SHADOW_COLOR);
        StrokeRect(BRect(frame.left, frame.top, frame.right - 1, frame.bottom - 1));
    }
    if (!label.empty()) {
        const float width = std::ceil(StringWidth(label.c_str()));
        SetHighColor(ViewColor());
        FillRect(BRect(
            LABEL_LEFT - LABEL_GAP, 0, LABEL_LEFT + width + LABEL_GAP - 1, LabelHeight() - 1));
        BFont font;
        GetFont(&font);
        font_height height;
        font.GetHeight(&height);
        SetHighColor(kits::interface::TEXT_COLOR);
        DrawString(label.c_str(), BPoint(LABEL_LEFT, std::ceil(height.ascent)));
    }
    SetHighColor(high);
}

void BBox::AttachedToWindow()
{
    const rgb_color color = kits::interface::ParentPanelColor(*this);
    SetViewColor(color);
    SetLowColor(color);
}

void BBox::FrameResized(float, float)
{
    // The right and bottom border move with the size.
    Invalidate();
}
