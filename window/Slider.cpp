#include "window/Slider.h"

namespace {

constexpr float FONT_SIZE = 18;
constexpr BPoint CAPTION(10, 18);
constexpr float BAR_LEFT = 10;
constexpr float BAR_TOP = 25;
constexpr float BAR_BOTTOM = 44;
// The full bar ends this far before the view's right edge.
constexpr float BAR_END_MARGIN = 20;

}

Slider::Slider(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags | B_WILL_DRAW)
{
    SetFontSize(FONT_SIZE);
}

Slider::~Slider() = default;

void Slider::SetSlider(const char* caption, float level)
{
    label = caption != nullptr ? caption : "";
    value = level;
    Invalidate();
}

const std::string& Slider::Label() const
{
    return label;
}

float Slider::Value() const
{
    return value;
}

status_t Slider::Archive(BMessage*, bool) const
{
    // The overlays belong to the window that made them; a copy of the video view goes without.
    return B_ERROR;
}

void Slider::AttachedToWindow()
{
}

void Slider::DetachedFromWindow()
{
}

void Slider::Draw(BRect updateRect)
{
    SetLowColor(255, 255, 255, 0);
    SetHighColor(0, 0, 0, 0);
    FillRect(updateRect, B_SOLID_LOW);
    DrawString(label.c_str(), CAPTION);
    // The right edge counts from the view's left edge, not from the bar's start: a low level
    // ends left of the start and leaves an empty rectangle, which draws nothing.
    const BRect bar(BAR_LEFT, BAR_TOP, (Bounds().Width() - BAR_END_MARGIN) * value / 100,
        BAR_BOTTOM);
    const BRect visible = bar & updateRect;
    if (visible.IsValid())
        FillRect(visible, B_SOLID_HIGH);
}
