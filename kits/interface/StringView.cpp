#include "kits/interface/StringView.h"

#include "kits/interface/ControlPrivate.h"

#include <cmath>

BStringView::BStringView(BRect frame, const char* name, const char* text, uint32 resizingMode,
    uint32 flags)
    :
    BView(frame, name, resizingMode, flags),
    text(text != nullptr ? text : "")
{
}

BStringView::~BStringView() = default;

void BStringView::SetText(const char* newText)
{
    text = newText != nullptr ? newText : "";
    Invalidate();
}

const char* BStringView::Text() const
{
    return text.c_str();
}

void BStringView::SetAlignment(alignment flag)
{
    align = flag;
    Invalidate();
}

alignment BStringView::Alignment() const
{
    return align;
}

void BStringView::Draw(BRect)
{
    const float room = Bounds().Width() + 1 - StringWidth(text.c_str());
    float left = 0;
    if (align == B_ALIGN_RIGHT)
        left = std::floor(room);
    else if (align == B_ALIGN_CENTER)
        left = std::floor(room / 2);
    DrawString(text.c_str(), BPoint(left, kits::interface::CentredBaseline(*this)));
}

void BStringView::AttachedToWindow()
{
    const rgb_color color = kits::interface::ParentPanelColor(*this);
    SetViewColor(color);
    SetLowColor(color);
}
