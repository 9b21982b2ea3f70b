#include "kits/interface/Slider.h"

#include "kits/app/Message.h"
#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float THUMB_WIDTH = 11;
constexpr float BAR_HEIGHT = 6;
// How far the thumb reaches above and below the bar.
constexpr float THUMB_OVERHANG = 3;

float LabelHeight(const BView& view, const char* label)
{
    if (label[0] == '\0')
        return 0;
    BFont font;
    view.GetFont(&font);
    font_height height;
    font.GetHeight(&height);
    return std::ceil(height.ascent + height.descent);
}

}

BSlider::BSlider(BRect frame, const char* name, const char* label, BMessage* message,
    int32 minValue, int32 maxValue, thumb_style thumbType, uint32 resizingMode, uint32 flags)
    :
    BControl(frame, name, label, message, resizingMode, flags),
    minValue(minValue),
    maxValue(std::max(minValue, maxValue)),
    thumbType(thumbType)
{
    SetValueNoUpdate(minValue);
}

BSlider::~BSlider() = default;

void BSlider::SetValue(int32 value)
{
    BControl::SetValue(std::clamp(value, minValue, maxValue));
}

void BSlider::SetLimits(int32 newMin, int32 newMax)
{
    minValue = newMin;
    maxValue = std::max(newMin, newMax);
    SetValue(Value());
    Invalidate();
}

void BSlider::GetLimits(int32* outMin, int32* outMax) const
{
    if (outMin != nullptr)
        *outMin = minValue;
    if (outMax != nullptr)
        *outMax = maxValue;
}

void BSlider::SetKeyIncrementValue(int32 increment)
{
    keyIncrement = std::max(1, increment);
}

int32 BSlider::KeyIncrementValue() const
{
    return keyIncrement;
}

void BSlider::SetModificationMessage(BMessage* message)
{
    modificationMessage.reset(message);
}

BMessage* BSlider::ModificationMessage() const
{
    return modificationMessage.get();
}

thumb_style BSlider::Style() const
{
    return thumbType;
}

BRect BSlider::BarFrame() const
{
    const float top = LabelHeight(*this, Label()) + THUMB_OVERHANG + 2;
    return BRect(std::floor(THUMB_WIDTH / 2), top,
        Bounds().right - std::floor(THUMB_WIDTH / 2), top + BAR_HEIGHT - 1);
}

float BSlider::PositionFor(int32 value) const
{
    const BRect bar = BarFrame();
    if (maxValue == minValue)
        return bar.left;
    return std::round(bar.left
        + (bar.right - bar.left) * float(int64(value) - minValue) / float(int64(maxValue) - minValue));
}

BRect BSlider::ThumbFrame() const
{
    const BRect bar = BarFrame();
    const float left = PositionFor(Value()) - std::floor(THUMB_WIDTH / 2);
    return BRect(left, bar.top - THUMB_OVERHANG, left + THUMB_WIDTH - 1,
        bar.bottom + THUMB_OVERHANG);
}

int32 BSlider::ValueForPoint(BPoint point) const
{
    const BRect bar = BarFrame();
    if (bar.right <= bar.left)
        return minValue;
    const double share = std::clamp((double(point.x) - bar.left) / (bar.right - bar.left), 0.0, 1.0);
    return int32(std::lround(minValue + share * (double(maxValue) - minValue)));
}

void BSlider::Draw(BRect)
{
    SetHighColor(TextColor());
    if (Label()[0] != '\0') {
        font_height height;
        BFont font;
        GetFont(&font);
        font.GetHeight(&height);
        DrawString(Label(), BPoint(0, std::ceil(height.ascent)));
    }
    const BRect bar = BarFrame();
    const BRect thumb = ThumbFrame();
    kits::interface::StrokeSunken(*this, bar);
    SetHighColor(IsEnabled() ? kits::interface::NAVIGATION_COLOR
                             : kits::interface::SHADOW_COLOR);
    FillRect(BRect(bar.left + 1, bar.top + 1, PositionFor(Value()), bar.bottom - 1));
    SetHighColor(kits::interface::LIGHT_COLOR);
    FillRect(BRect(PositionFor(Value()) + 1, bar.top + 1, bar.right - 1, bar.bottom - 1));

    SetHighColor(kits::interface::PANEL_COLOR);
    if (thumbType == B_BLOCK_THUMB) {
        FillRect(thumb);
        kits::interface::StrokeRaised(*this, thumb);
    } else {
        const float middle = std::floor((thumb.left + thumb.right) / 2);
        FillTriangle(BPoint(middle, bar.top), thumb.LeftBottom(), thumb.RightBottom());
        SetHighColor(kits::interface::DARK_SHADOW_COLOR);
        StrokeLine(thumb.LeftBottom(), thumb.RightBottom());
    }
    if (IsFocus()) {
        SetHighColor(kits::interface::NAVIGATION_COLOR);
        StrokeLine(BPoint(thumb.left, thumb.bottom + 2), BPoint(thumb.right, thumb.bottom + 2));
    }
}

void BSlider::Track(BPoint where)
{
    const int32 value = ValueForPoint(BPoint(where.x - grabOffset, where.y));
    if (value == Value())
        return;
    SetValue(value);
    if (modificationMessage != nullptr)
        (void)Invoke(modificationMessage.get());
}

void BSlider::MouseDown(BPoint where)
{
    if (!IsEnabled())
        return;
    MakeFocus();
    tracking = true;
    pressValue = Value();
    const BRect thumb = ThumbFrame();
    grabOffset = thumb.Contains(where) ? where.x - PositionFor(Value()) : 0;
    Track(where);
}

void BSlider::MouseMoved(BPoint where, uint32, const BMessage*)
{
    if (tracking)
        Track(where);
}

void BSlider::MouseUp(BPoint where)
{
    if (!tracking)
        return;
    Track(where);
    tracking = false;
    if (Value() != pressValue)
        (void)Invoke();
}

void BSlider::KeyDown(const char* bytes, int32 numBytes)
{
    if (!IsEnabled() || numBytes != 1) {
        BControl::KeyDown(bytes, numBytes);
        return;
    }
    int32 value = Value();
    switch (uint8(bytes[0])) {
    case B_LEFT_ARROW:
    case B_DOWN_ARROW:
        value = int32(std::max(int64(minValue), int64(value) - keyIncrement));
        break;
    case B_RIGHT_ARROW:
    case B_UP_ARROW:
        value = int32(std::min(int64(maxValue), int64(value) + keyIncrement));
        break;
    case B_HOME:
        value = minValue;
        break;
    case B_END:
        value = maxValue;
        break;
    default:
        BControl::KeyDown(bytes, numBytes);
        return;
    }
    if (value == Value())
        return;
    SetValue(value);
    (void)Invoke();
}
