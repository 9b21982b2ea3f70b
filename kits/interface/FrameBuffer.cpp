#include "kits/interface/FrameBuffer.h"

#include <algorithm>
#include <new>

namespace kits::interface {

status_t FrameBuffer::SetSize(int32 newWidth, int32 newHeight, uint32 fill)
{
    if (newWidth < 0 || newHeight < 0)
        return B_BAD_VALUE;
    pixels.reset();
    width = 0;
    height = 0;
    const size_t count = size_t(newWidth) * size_t(newHeight);
    if (count == 0)
        return B_OK;
    // Frame-sized: a failure is reported, not fatal.
    pixels.reset(static_cast<uint32*>(
        operator new[](count * sizeof(uint32), ALIGNMENT, std::nothrow)));
    if (pixels == nullptr)
        return B_NO_MEMORY;
    width = newWidth;
    height = newHeight;
    std::fill_n(pixels.get(), count, fill);
    return B_OK;
}

void FrameBuffer::Fill(const PixelRect& rect, uint32 value)
{
    const PixelRect inside = rect.Intersection(Rect());
    if (inside.IsEmpty())
        return;
    for (int32 y = inside.top; y <= inside.bottom; y++)
        std::fill_n(Row(y) + inside.left, inside.Width(), value);
}

}
