#include "window/TextOver.h"

#include <utility>

namespace {

constexpr float FONT_SIZE = 18;
// The baseline sits low enough that the line fits the 25-unit-high box.
constexpr float BASELINE = 20;

}

TextOver::TextOver(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags | B_WILL_DRAW)
{
    SetFontSize(FONT_SIZE);
}

TextOver::~TextOver() = default;

void TextOver::SetText(std::string newText)
{
    text = std::move(newText);
    Invalidate();
}

const std::string& TextOver::Text() const
{
    return text;
}

status_t TextOver::Archive(BMessage*, bool) const
{
    // The overlays belong to the window that made them; a copy of the video view goes without.
    return B_ERROR;
}

void TextOver::AttachedToWindow()
{
}

void TextOver::DetachedFromWindow()
{
}

void TextOver::Draw(BRect updateRect)
{
    SetLowColor(255, 255, 255, 0);
    SetHighColor(0, 0, 0, 0);
    FillRect(updateRect, B_SOLID_LOW);
    const float width = StringWidth(text.c_str());
    // Centred on the bounds; a text wider than the box starts left of it and is cut by the
    // view's clipping at both sides.
    DrawString(text.c_str(), BPoint(Bounds().Width() / 2 - width / 2, BASELINE));
}
