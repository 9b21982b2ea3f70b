#include "kits/interface/ClipRegion.h"

#include <algorithm>
#include <cmath>

namespace kits::interface {

namespace {

constexpr double COORDINATE_LIMIT = 1 << 29;

int32 RoundToPixel(float coordinate)
{
    if (std::isnan(coordinate))
        return 0;
    const double rounded = std::floor(double(coordinate) + 0.5);
    return int32(std::clamp(rounded, -COORDINATE_LIMIT, COORDINATE_LIMIT));
}

// Appends the parts of rect outside cut, as at most four rectangles.
void AppendDifference(const PixelRect& rect, const PixelRect& cut, std::vector<PixelRect>& out)
{
    const PixelRect overlap = rect.Intersection(cut);
    if (overlap.IsEmpty()) {
        out.push_back(rect);
        return;
    }
    if (rect.top < overlap.top)
        out.push_back({rect.left, rect.top, rect.right, overlap.top - 1});
    if (overlap.bottom < rect.bottom)
        out.push_back({rect.left, overlap.bottom + 1, rect.right, rect.bottom});
    if (rect.left < overlap.left)
        out.push_back({rect.left, overlap.top, overlap.left - 1, overlap.bottom});
    if (overlap.right < rect.right)
        out.push_back({overlap.right + 1, overlap.top, rect.right, overlap.bottom});
}

}

PixelRect PixelRect::Intersection(const PixelRect& other) const
{
    return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
        std::min(bottom, other.bottom)};
}

PixelRect ToPixels(const BRect& rect)
{
    if (!rect.IsValid())
        return {};
    return {RoundToPixel(rect.left), RoundToPixel(rect.top), RoundToPixel(rect.right),
        RoundToPixel(rect.bottom)};
}

BRect ToRect(const PixelRect& rect)
{
    return BRect(float(rect.left), float(rect.top), float(rect.right), float(rect.bottom));
}

ClipRegion::ClipRegion(const PixelRect& rect)
{
    if (!rect.IsEmpty())
        rects.push_back(rect);
}

PixelRect ClipRegion::Bounds() const
{
    if (rects.empty())
        return {};
    PixelRect bounds = rects.front();
    for (const PixelRect& rect : rects) {
        bounds.left = std::min(bounds.left, rect.left);
        bounds.top = std::min(bounds.top, rect.top);
        bounds.right = std::max(bounds.right, rect.right);
        bounds.bottom = std::max(bounds.bottom, rect.bottom);
    }
    return bounds;
}

void ClipRegion::Include(const PixelRect& rect)
{
    if (rect.IsEmpty())
        return;
    std::vector<PixelRect> pieces{rect};
    for (const PixelRect& existing : rects) {
        std::vector<PixelRect> remaining;
        for (const PixelRect& piece : pieces)
            AppendDifference(piece, existing, remaining);
        pieces.swap(remaining);
    }
    rects.insert(rects.end(), pieces.begin(), pieces.end());
}

void ClipRegion::Exclude(const PixelRect& rect)
{
    if (rect.IsEmpty())
        return;
    std::vector<PixelRect> remaining;
    for (const PixelRect& existing : rects)
        AppendDifference(existing, rect, remaining);
    rects.swap(remaining);
}

void ClipRegion::IntersectWith(const PixelRect& rect)
{
    std::vector<PixelRect> remaining;
    for (const PixelRect& existing : rects) {
        const PixelRect overlap = existing.Intersection(rect);
        if (!overlap.IsEmpty())
            remaining.push_back(overlap);
    }
    rects.swap(remaining);
}

void ClipRegion::IntersectWith(const ClipRegion& other)
{
    // The rectangles of each region are disjoint, so their pairwise overlaps are too.
    std::vector<PixelRect> remaining;
    for (const PixelRect& existing : rects) {
        for (const PixelRect& rect : other.rects) {
            const PixelRect overlap = existing.Intersection(rect);
            if (!overlap.IsEmpty())
                remaining.push_back(overlap);
        }
    }
    rects.swap(remaining);
}

}
