#include "window/Slider.h"

Slider::Slider(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags | B_WILL_DRAW)
{
}

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

void Slider::Draw(BRect updateRect)
{
    SetLowColor(255, 255, 255, 0);
    FillRect(updateRect, B_SOLID_LOW);
}
