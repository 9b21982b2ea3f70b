#pragma once
// BRect: a rectangle with inclusive edges; a one-pixel rectangle has right == left.

#include "kits/interface/Point.h"

class BRect {
public:
    // The default rectangle is invalid: right is left of left.
    constexpr BRect() = default;
    constexpr BRect(float left, float top, float right, float bottom)
        : left(left), top(top), right(right), bottom(bottom)
    {
    }
    constexpr BRect(BPoint leftTop, BPoint rightBottom)
        : left(leftTop.x), top(leftTop.y), right(rightBottom.x), bottom(rightBottom.y)
    {
    }

    constexpr float Width() const { return right - left; }
    constexpr float Height() const { return bottom - top; }
    constexpr bool IsValid() const { return left <= right && top <= bottom; }

    constexpr bool operator==(const BRect&) const = default;

    float left = 0.0f;
    float top = 0.0f;
    float right = -1.0f;
    float bottom = -1.0f;
};
