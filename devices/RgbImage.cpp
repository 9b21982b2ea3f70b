#include "devices/RgbImage.h"

#include <algorithm>
#include <new>

namespace devices {

status_t RgbImage::Allocate(int32 newWidth, int32 newLines)
{
    pixels.reset();
    width = 0;
    lines = 0;
    if (newWidth <= 0 || newLines <= 0)
        return B_BAD_VALUE;
    pixels.reset(new (std::nothrow) uint32[size_t(newWidth) * size_t(newLines)]);
    if (pixels == nullptr)
        return B_NO_MEMORY;
    width = newWidth;
    lines = newLines;
    return B_OK;
}

void RgbImage::FillRect(int32 left, int32 top, int32 right, int32 bottom, uint32 rgb)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width);
    bottom = std::min(bottom, lines);
    for (int32 y = top; y < bottom; y++)
        std::fill(Row(y) + left, Row(y) + std::max(left, right), rgb);
}

void RgbImage::FillDisc(int32 centerX, int32 centerY, int32 radius, uint32 rgb)
{
    for (int32 dy = -radius; dy <= radius; dy++) {
        int32 dx = 0;
        while ((dx + 1) * (dx + 1) + dy * dy <= radius * radius)
            dx++;
        FillRect(centerX - dx, centerY + dy, centerX + dx + 1, centerY + dy + 1, rgb);
    }
}

}
