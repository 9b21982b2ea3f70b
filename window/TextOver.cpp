#include "window/TextOver.h"

#include <utility>

TextOver::TextOver(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags | B_WILL_DRAW)
{
}

void TextOver::SetText(std::string newText)
{
    text = std::move(newText);
    Invalidate();
}

const std::string& TextOver::Text() const
{
    return text;
}

void TextOver::Draw(BRect updateRect)
{
    SetLowColor(255, 255, 255, 0);
    FillRect(updateRect, B_SOLID_LOW);
}
