#include "kits/interface/ClipRegion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using kits::interface::ClipRegion;
using kits::interface::PixelRect;

int64 Area(const ClipRegion& region)
{
    int64 area = 0;
    for (const PixelRect& rect : region.Rects())
        area += int64(rect.Width()) * rect.Height();
    return area;
}

bool Contains(const ClipRegion& region, int32 x, int32 y)
{
    for (const PixelRect& rect : region.Rects()) {
        if (x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom)
            return true;
    }
    return false;
}

TEST(ClipRegionTest, FractionalEdgesRoundToTheNearestPixel)
{
    EXPECT_EQ(kits::interface::ToPixels(BRect(0, 0, 767, 431)), (PixelRect{0, 0, 767, 431}));
    EXPECT_EQ(kits::interface::ToPixels(BRect(61.36f, 8.4f, 706.6f, 33.5f)),
        (PixelRect{61, 8, 707, 34}));
    EXPECT_TRUE(kits::interface::ToPixels(BRect()).IsEmpty());
}

TEST(ClipRegionTest, RandomOperationsMatchAPixelGrid)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int32> coordinate(0, 19);
    for (int32 round = 0; round < 200; round++) {
        bool grid[20][20] = {};
        ClipRegion region;
        for (int32 step = 0; step < 6; step++) {
            int32 a = coordinate(random), b = coordinate(random);
            int32 c = coordinate(random), d = coordinate(random);
            const PixelRect rect{std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
            const int32 operation = int32(random() % 3);
            for (int32 y = 0; y < 20; y++) {
                for (int32 x = 0; x < 20; x++) {
                    const bool inside = x >= rect.left && x <= rect.right && y >= rect.top
                        && y <= rect.bottom;
                    if (operation == 0)
                        grid[y][x] = grid[y][x] || inside;
                    else if (operation == 1)
                        grid[y][x] = grid[y][x] && !inside;
                    else
                        grid[y][x] = grid[y][x] && inside;
                }
            }
            if (operation == 0)
                region.Include(rect);
            else if (operation == 1)
                region.Exclude(rect);
            else
                region.IntersectWith(rect);
        }
        int64 expected = 0;
        PixelRect bounds{20, 20, -1, -1};
        for (int32 y = 0; y < 20; y++) {
            for (int32 x = 0; x < 20; x++) {
                expected += grid[y][x];
                if (grid[y][x])
                    bounds = {std::min(bounds.left, x), std::min(bounds.top, y),
                        std::max(bounds.right, x), std::max(bounds.bottom, y)};
                ASSERT_EQ(Contains(region, x, y), grid[y][x]) << round << " " << x << "," << y;
            }
        }
        // The rectangles never overlap.
        ASSERT_EQ(Area(region), expected);
        if (expected > 0) {
            ASSERT_EQ(region.Bounds(), bounds) << round;
        }
    }
}

}
