#pragma once
// BRect: a rectangle with inclusive edges; a one-pixel rectangle has right == left.

#include "kits/kernel/Point.h"
#include "kits/kernel/SupportDefs.h"

#include <algorithm>
#include <cmath>

// Edges are inclusive: a rectangle of W by H pixels is BRect(0, 0, W - 1, H - 1), and Width()
// (right - left) is one less than the number of pixels it covers. A rectangle whose right lies
// left of its left (or bottom above top) is invalid: it contains nothing.
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

    constexpr void Set(float newLeft, float newTop, float newRight, float newBottom)
    {
        left = newLeft;
        top = newTop;
        right = newRight;
        bottom = newBottom;
    }

    constexpr float Width() const { return right - left; }
    constexpr float Height() const { return bottom - top; }
    // Width() and Height() rounded up: one less than the pixels covered.
    int32 IntegerWidth() const { return int32(std::ceil(right - left)); }
    int32 IntegerHeight() const { return int32(std::ceil(bottom - top)); }
    constexpr bool IsValid() const { return left <= right && top <= bottom; }

    constexpr BPoint LeftTop() const { return {left, top}; }
    constexpr BPoint RightBottom() const { return {right, bottom}; }
    constexpr BPoint LeftBottom() const { return {left, bottom}; }
    constexpr BPoint RightTop() const { return {right, top}; }

    constexpr void OffsetBy(float dx, float dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    constexpr void OffsetBy(BPoint delta) { OffsetBy(delta.x, delta.y); }
    constexpr void OffsetTo(float x, float y) { OffsetBy(x - left, y - top); }
    constexpr void OffsetTo(BPoint where) { OffsetTo(where.x, where.y); }
    // Moves each edge inwards; negative values grow the rectangle.
    constexpr void InsetBy(float dx, float dy)
    {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
    }

    constexpr bool Intersects(const BRect& other) const
    {
        return IsValid() && other.IsValid() && other.left <= right && other.right >= left
            && other.top <= bottom && other.bottom >= top;
    }
    constexpr bool Contains(BPoint point) const
    {
        return point.x >= left && point.x <= right && point.y >= top && point.y <= bottom;
    }
    constexpr bool Contains(const BRect& other) const
    {
        return IsValid() && other.IsValid() && other.left >= left && other.right <= right
            && other.top >= top && other.bottom <= bottom;
    }

    // The intersection; invalid when the two do not meet.
    constexpr BRect operator&(const BRect& other) const
    {
        return {std::max(left, other.left), std::max(top, other.top),
            std::min(right, other.right), std::min(bottom, other.bottom)};
    }
    // The smallest rectangle holding both.
    constexpr BRect operator|(const BRect& other) const
    {
        return {std::min(left, other.left), std::min(top, other.top),
            std::max(right, other.right), std::max(bottom, other.bottom)};
    }

    constexpr bool operator==(const BRect&) const = default;

    float left = 0.0f;
    float top = 0.0f;
    float right = -1.0f;
    float bottom = -1.0f;
};
