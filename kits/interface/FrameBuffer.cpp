#include "kits/interface/FrameBuffer.h"

#include <algorithm>
#include <new>

namespace kits::interface {

namespace {

// Rows start 64 bytes aligned when the width allows it, so vector stores do not straddle cache
// lines.
constexpr std::align_val_t ALIGNMENT{64};

class HeapMemory : public PixelMemory {
public:
    explicit HeapMemory(uint32* pixels)
        :
        PixelMemory(pixels)
    {
    }
    ~HeapMemory() override { operator delete[](Pixels(), ALIGNMENT); }
};

}

std::shared_ptr<PixelMemory> HeapPixels(size_t count)
{
    auto* pixels = static_cast<uint32*>(
        operator new[](count * sizeof(uint32), ALIGNMENT, std::nothrow));
    if (pixels == nullptr)
        return nullptr;
    return std::make_shared<HeapMemory>(pixels);
}

status_t FrameBuffer::SetSize(int32 newWidth, int32 newHeight, uint32 fill)
{
    if (newWidth < 0 || newHeight < 0)
        return B_BAD_VALUE;
    memory.reset();
    pixels = nullptr;
    width = 0;
    height = 0;
    const size_t count = size_t(newWidth) * size_t(newHeight);
    if (count == 0)
        return B_OK;
    // Frame-sized: a failure is reported, not fatal.
    memory = source(count);
    if (memory == nullptr)
        return B_NO_MEMORY;
    pixels = memory->Pixels();
    width = newWidth;
    height = newHeight;
    std::fill_n(pixels, count, fill);
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
