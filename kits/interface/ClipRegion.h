#pragma once
// ClipRegion: a set of whole pixels as non-overlapping rectangles, for clipping drawing.

#include "kits/kernel/Rect.h"
#include "kits/kernel/SupportDefs.h"

#include <vector>

namespace kits::interface {

// A rectangle of whole pixels with inclusive edges; empty when right < left or bottom < top.
struct PixelRect {
    int32 left = 0;
    int32 top = 0;
    int32 right = -1;
    int32 bottom = -1;

    bool IsEmpty() const { return right < left || bottom < top; }
    int32 Width() const { return right - left + 1; }
    int32 Height() const { return bottom - top + 1; }
    PixelRect Intersection(const PixelRect& other) const;
    bool operator==(const PixelRect&) const = default;
};

// The pixels a BRect covers: each edge rounded to the nearest whole pixel, so that a view's frame
// and the drawing clipped to it agree on every pixel. Coordinates beyond ±2^29 are clamped, so
// widths fit in 32 bits.
PixelRect ToPixels(const BRect& rect);
BRect ToRect(const PixelRect& rect);

// Touched by one thread at a time (each is a value owned by whoever computes it).
class ClipRegion {
public:
    ClipRegion() = default;
    explicit ClipRegion(const PixelRect& rect);

    bool IsEmpty() const { return rects.empty(); }
    const std::vector<PixelRect>& Rects() const { return rects; }
    // The smallest rectangle holding the region; empty for an empty region.
    PixelRect Bounds() const;

    // Adds the pixels of rect that are not in the region yet.
    void Include(const PixelRect& rect);
    void Exclude(const PixelRect& rect);
    void IntersectWith(const PixelRect& rect);
    void IntersectWith(const ClipRegion& other);
    void MakeEmpty() { rects.clear(); }

private:
    std::vector<PixelRect> rects;
};

}
