#pragma once
// FrameBuffer: the RGB32 pixels of a window's content area, as the views drew them.

#include "kits/interface/ClipRegion.h"
#include "kits/kernel/SupportDefs.h"

#include <cstddef>
#include <memory>

namespace kits::interface {

// The memory a frame buffer's pixels live in, 64-byte aligned. Shared between the buffer and a
// display that shows the pixels straight from it (see DisplayBackend::NewPixels), so that it
// stays while the display may still read it.
class PixelMemory {
public:
    virtual ~PixelMemory() = default;
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;

    uint32* Pixels() const { return pixels; }

protected:
    explicit PixelMemory(uint32* pixels)
        :
        pixels(pixels)
    {
    }

private:
    uint32* const pixels;
};

// Memory for count pixels; null when it cannot be had.
using PixelSource = std::shared_ptr<PixelMemory> (*)(size_t count);
// Memory from the heap.
std::shared_ptr<PixelMemory> HeapPixels(size_t count);

// Pixels are 32-bit words in the B_RGB32 layout (blue in bits 0-7, green 8-15, red 16-23); every
// pixel written here has its top byte set to 0xFF, so the buffer can be shown as opaque ARGB.
// Rows are Width() pixels apart, without padding. Owned by its window and touched with the window
// locked.
class FrameBuffer {
public:
    // The pixels come from source.
    explicit FrameBuffer(PixelSource source = HeapPixels)
        :
        source(source)
    {
    }
    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;

    // Replaces the pixels with width by height new ones set to fill. B_NO_MEMORY (and an empty
    // buffer) when they cannot be had, B_BAD_VALUE for a negative size.
    [[nodiscard]] status_t SetSize(int32 width, int32 height, uint32 fill);

    int32 Width() const { return width; }
    int32 Height() const { return height; }
    // The whole buffer, (0, 0, Width() - 1, Height() - 1); empty for an empty buffer.
    PixelRect Rect() const { return {0, 0, width - 1, height - 1}; }
    uint32* Pixels() { return pixels; }
    const uint32* Pixels() const { return pixels; }
    uint32* Row(int32 y) { return pixels + int64(y) * width; }
    const uint32* Row(int32 y) const { return pixels + int64(y) * width; }
    // The pixel at (x, y), which must lie inside the buffer.
    uint32 PixelAt(int32 x, int32 y) const { return Row(y)[x]; }

    // The memory the pixels live in; null for an empty buffer. Replaced by SetSize, so a
    // display keeps it to read pixels presented before.
    const std::shared_ptr<PixelMemory>& Memory() const { return memory; }

    // Sets the pixels of rect that lie inside the buffer.
    void Fill(const PixelRect& rect, uint32 value);

private:
    PixelSource source;
    std::shared_ptr<PixelMemory> memory;
    uint32* pixels = nullptr;
    int32 width = 0;
    int32 height = 0;
};

// The frame buffer word of a colour: opaque, the colour's own alpha is not kept.
constexpr uint32 PackColor(uint8 red, uint8 green, uint8 blue)
{
    return 0xFF000000u | uint32(red) << 16 | uint32(green) << 8 | uint32(blue);
}

}
