#include "kits/interface/ScrollBar.h"

#include "kits/interface/ControlPrivate.h"
#include "kits/interface/ListView.h"

#include <algorithm>
#include <cmath>

namespace {

// The knob never gets shorter than this, so that it stays easy to grab.
constexpr float MIN_KNOB_LENGTH = 15;

}

BScrollBar::BScrollBar(BRect frame, const char* name, BView* target, float minValue,
    float maxValue, orientation direction)
    :
    BView(frame, name,
        direction == B_VERTICAL ? B_FOLLOW_RIGHT | B_FOLLOW_TOP_BOTTOM
                                : B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM,
        B_WILL_DRAW | B_FRAME_EVENTS),
    value(minValue),
    minValue(minValue),
    maxValue(std::max(minValue, maxValue)),
    direction(direction)
{
    SetTarget(target);
}

BScrollBar::~BScrollBar()
{
    SetTarget(nullptr);
}

void BScrollBar::SetValue(float newValue)
{
    newValue = std::clamp(newValue, minValue, maxValue);
    if (newValue == value)
        return;
    value = newValue;
    Invalidate();
    ValueChanged(value);
}

float BScrollBar::Value() const
{
    return value;
}

void BScrollBar::SetRange(float newMin, float newMax)
{
    minValue = newMin;
    maxValue = std::max(newMin, newMax);
    Invalidate();
    SetValue(value);
}

void BScrollBar::GetRange(float* outMin, float* outMax) const
{
    if (outMin != nullptr)
        *outMin = minValue;
    if (outMax != nullptr)
        *outMax = maxValue;
}

void BScrollBar::SetProportion(float newProportion)
{
    proportion = std::clamp(newProportion, 0.0f, 1.0f);
    Invalidate();
}

float BScrollBar::Proportion() const
{
    return proportion;
}

void BScrollBar::SetSteps(float newSmall, float newLarge)
{
    smallStep = newSmall;
    largeStep = newLarge;
}

void BScrollBar::GetSteps(float* outSmall, float* outLarge) const
{
    if (outSmall != nullptr)
        *outSmall = smallStep;
    if (outLarge != nullptr)
        *outLarge = largeStep;
}

void BScrollBar::Follow(
    float newMax, float newProportion, float newSmall, float newLarge, float newValue)
{
    const bool moved = newValue != value;
    minValue = 0;
    maxValue = std::max(0.0f, newMax);
    proportion = std::clamp(newProportion, 0.0f, 1.0f);
    smallStep = newSmall;
    largeStep = newLarge;
    value = std::clamp(newValue, minValue, maxValue);
    Invalidate();
    if (moved)
        ValueChanged(value);
}

void BScrollBar::SetTarget(BView* newTarget)
{
    if (list != nullptr && list->scrollBar == this)
        list->scrollBar = nullptr;
    target = newTarget;
    list = direction == B_VERTICAL ? dynamic_cast<BListView*>(newTarget) : nullptr;
    if (list == nullptr)
        return;
    if (list->scrollBar != nullptr)
        list->scrollBar->list = nullptr;
    list->scrollBar = this;
    list->ClampScroll();
}

BView* BScrollBar::Target() const
{
    return target;
}

orientation BScrollBar::Orientation() const
{
    return direction;
}

void BScrollBar::ValueChanged(float newValue)
{
    if (list != nullptr)
        list->ScrollTo(BPoint(0, newValue));
}

float BScrollBar::Along(BPoint point) const
{
    return direction == B_VERTICAL ? point.y : point.x;
}

BPoint BScrollBar::Point(float along, float across) const
{
    return direction == B_VERTICAL ? BPoint(across, along) : BPoint(along, across);
}

BRect BScrollBar::Span(float start, float end) const
{
    const BPoint first = Point(start, 0);
    const BPoint last = Point(end, Thickness());
    return BRect(first.x, first.y, last.x, last.y);
}

float BScrollBar::Length() const
{
    return direction == B_VERTICAL ? Bounds().Height() : Bounds().Width();
}

float BScrollBar::Thickness() const
{
    return direction == B_VERTICAL ? Bounds().Width() : Bounds().Height();
}

float BScrollBar::TrackStart() const
{
    return Thickness() + 1;
}

float BScrollBar::TrackEnd() const
{
    return Length() - Thickness() - 1;
}

float BScrollBar::KnobLength() const
{
    const float track = TrackEnd() - TrackStart() + 1;
    return std::min(track, std::max(MIN_KNOB_LENGTH, std::floor(track * proportion)));
}

float BScrollBar::KnobStart() const
{
    const float room = TrackEnd() - TrackStart() + 1 - KnobLength();
    return TrackStart() + std::round(room * (value - minValue) / (maxValue - minValue));
}

BRect BScrollBar::KnobFrame() const
{
    if (maxValue <= minValue)
        return BRect();
    return Span(KnobStart(), KnobStart() + KnobLength() - 1);
}

void BScrollBar::DrawArrow(float start, bool towardsStart)
{
    using namespace kits::interface;
    const BRect button = Span(start, start + Thickness());
    SetHighColor(PANEL_COLOR);
    FillRect(button);
    StrokeRaised(*this, button);
    const float middle = std::floor(Thickness() / 2);
    const float tip = start + (towardsStart ? 4 : Thickness() - 4);
    const float base = start + (towardsStart ? Thickness() - 5 : 5);
    SetHighColor(maxValue > minValue ? DARK_SHADOW_COLOR : SHADOW_COLOR);
    FillTriangle(Point(tip, middle), Point(base, middle - 3), Point(base, middle + 3));
}

void BScrollBar::Draw(BRect)
{
    using namespace kits::interface;
    SetHighColor(INNER_SHADOW_COLOR);
    FillRect(Span(TrackStart(), TrackEnd()));
    SetHighColor(SHADOW_COLOR);
    StrokeRect(Span(TrackStart() - 1, TrackEnd() + 1));
    DrawArrow(0, true);
    DrawArrow(Length() - Thickness(), false);
    const BRect knob = KnobFrame();
    if (!knob.IsValid())
        return;
    SetHighColor(PANEL_COLOR);
    FillRect(knob);
    StrokeRaised(*this, knob);
}

void BScrollBar::MouseDown(BPoint where)
{
    if (maxValue <= minValue)
        return;
    const float along = Along(where);
    if (along < TrackStart())
        SetValue(value - smallStep);
    else if (along > TrackEnd())
        SetValue(value + smallStep);
    else if (along < KnobStart())
        SetValue(value - largeStep);
    else if (along >= KnobStart() + KnobLength())
        SetValue(value + largeStep);
    else {
        dragging = true;
        grabOffset = along - KnobStart();
    }
}

void BScrollBar::MouseMoved(BPoint where, uint32, const BMessage*)
{
    if (!dragging)
        return;
    const float room = TrackEnd() - TrackStart() + 1 - KnobLength();
    if (room <= 0)
        return;
    const float start = Along(where) - grabOffset - TrackStart();
    SetValue(std::round(minValue + (maxValue - minValue) * start / room));
}

void BScrollBar::MouseUp(BPoint)
{
    dragging = false;
}
