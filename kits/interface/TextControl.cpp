#include "kits/interface/TextControl.h"

#include "kits/app/Message.h"
#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float TEXT_INSET = 3;

bool IsContinuation(char byte)
{
    return (uint8(byte) & 0xC0) == 0x80;
}

size_t PreviousCharacter(const std::string& text, size_t offset)
{
    if (offset == 0)
        return 0;
    offset--;
    while (offset > 0 && IsContinuation(text[offset]))
        offset--;
    return offset;
}

size_t NextCharacter(const std::string& text, size_t offset)
{
    if (offset >= text.size())
        return text.size();
    offset++;
    while (offset < text.size() && IsContinuation(text[offset]))
        offset++;
    return offset;
}

float LabelDivider(const char* label)
{
    return label[0] != '\0' ? std::ceil(be_plain_font->StringWidth(label)) + 6 : 0;
}

}

BTextControl::BTextControl(BRect frame, const char* name, const char* label, const char* text,
    BMessage* message, uint32 resizingMode, uint32 flags)
    :
    BControl(frame, name, label, message, resizingMode, flags),
    text(text != nullptr ? text : ""),
    caret(this->text.size()),
    divider(LabelDivider(Label()))
{
}

BTextControl::~BTextControl() = default;

void BTextControl::SetText(const char* newText)
{
    text = newText != nullptr ? newText : "";
    caret = text.size();
    modified = false;
    Invalidate();
}

const char* BTextControl::Text() const
{
    return text.c_str();
}

void BTextControl::SetDivider(float newDivider)
{
    divider = newDivider;
    dividerSet = true;
    Invalidate();
}

float BTextControl::Divider() const
{
    return divider;
}

void BTextControl::SetModificationMessage(BMessage* message)
{
    modificationMessage.reset(message);
}

BMessage* BTextControl::ModificationMessage() const
{
    return modificationMessage.get();
}

void BTextControl::SetLabel(const char* label)
{
    BControl::SetLabel(label);
    if (!dividerSet)
        divider = LabelDivider(Label());
}

void BTextControl::MakeFocus(bool focus)
{
    const bool leaving = !focus && IsFocus();
    BControl::MakeFocus(focus);
    if (leaving && modified) {
        modified = false;
        (void)Invoke();
    }
}

BRect BTextControl::TextBox() const
{
    BRect box = Bounds();
    box.left = std::min(divider, box.right);
    return box;
}

float BTextControl::TextLeft() const
{
    const BRect box = TextBox();
    const float room = box.Width() - 2 * TEXT_INSET;
    const float caretX = StringWidth(text.substr(0, caret).c_str());
    // Long text slides left so that the caret stays inside the box.
    return box.left + TEXT_INSET - std::max(0.0f, caretX - room);
}

void BTextControl::Draw(BRect)
{
    BFont font;
    GetFont(&font);
    font_height height;
    font.GetHeight(&height);
    const BRect bounds = Bounds();
    const float baseline = std::floor(
        (bounds.Height() + 1 - (height.ascent + height.descent)) / 2 + height.ascent);
    SetHighColor(TextColor());
    if (Label()[0] != '\0')
        DrawString(Label(), BPoint(0, baseline));

    const BRect box = TextBox();
    SetHighColor(IsEnabled() ? kits::interface::LIGHT_COLOR : kits::interface::PANEL_COLOR);
    FillRect(BRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1));
    kits::interface::StrokeSunken(*this, box);
    if (IsFocus()) {
        SetHighColor(kits::interface::NAVIGATION_COLOR);
        StrokeRect(BRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1));
    }
    const float left = TextLeft();
    SetHighColor(TextColor());
    DrawString(text.c_str(), BPoint(left, baseline));
    if (IsFocus()) {
        const float x = std::round(left + StringWidth(text.substr(0, caret).c_str()));
        StrokeLine(BPoint(x, box.top + 3), BPoint(x, box.bottom - 3));
    }
}

void BTextControl::MouseDown(BPoint where)
{
    if (!IsEnabled())
        return;
    MakeFocus();
    // The caret goes to the character boundary nearest to the click.
    const float left = TextLeft();
    size_t best = 0;
    float bestDistance = std::abs(where.x - left);
    for (size_t offset = 0; offset < text.size();) {
        offset = NextCharacter(text, offset);
        const float x = left + StringWidth(text.substr(0, offset).c_str());
        if (std::abs(where.x - x) < bestDistance) {
            best = offset;
            bestDistance = std::abs(where.x - x);
        }
    }
    caret = best;
    Invalidate();
}

void BTextControl::Edited()
{
    modified = true;
    Invalidate();
    if (modificationMessage != nullptr)
        (void)Invoke(modificationMessage.get());
}

void BTextControl::KeyDown(const char* bytes, int32 numBytes)
{
    if (!IsEnabled() || numBytes <= 0)
        return;
    if (numBytes == 1 && (uint8(bytes[0]) < B_SPACE || uint8(bytes[0]) == B_DELETE)) {
        switch (uint8(bytes[0])) {
        case B_BACKSPACE:
            if (caret > 0) {
                const size_t start = PreviousCharacter(text, caret);
                text.erase(start, caret - start);
                caret = start;
                Edited();
            }
            return;
        case B_DELETE:
            if (caret < text.size()) {
                text.erase(caret, NextCharacter(text, caret) - caret);
                Edited();
            }
            return;
        case B_LEFT_ARROW:
            caret = PreviousCharacter(text, caret);
            break;
        case B_RIGHT_ARROW:
            caret = NextCharacter(text, caret);
            break;
        case B_HOME:
            caret = 0;
            break;
        case B_END:
            caret = text.size();
            break;
        case B_ENTER:
            modified = false;
            (void)Invoke();
            return;
        default:
            BControl::KeyDown(bytes, numBytes);
            return;
        }
        Invalidate();
        return;
    }
    text.insert(caret, bytes, size_t(numBytes));
    caret += size_t(numBytes);
    Edited();
}
