#pragma once
// FrameView: one frame in plain memory, as the frame filters, the capture nodes and bitmaps see it.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

// Bytes of one pixel in the colour spaces the filters know; 0 for every other space.
// Always inlined, as this header is also read by the files built for AVX2: an out-of-line copy
// built there could be the one the linker keeps for everybody.
[[gnu::always_inline]] constexpr int32 BytesPerPixel(color_space space)
{
    switch (space) {
    case B_GRAY8:
        return 1;
    case B_RGB15:
    case B_RGB16:
        return 2;
    case B_RGB32:
        return 4;
    default:
        return 0;
    }
}

// Observes pixels it does not own. Row y starts at bits + y * bytesPerRow; the bytes of a row past
// its width pixels are padding, which no filter reads or writes.
struct FrameView {
    uint8* bits = nullptr;
    int32 bytesPerRow = 0;
    // Pixels in a row.
    int32 width = 0;
    // Rows in the frame.
    int32 lines = 0;
    color_space colorSpace = B_NO_COLOR_SPACE;

    // Whether the rows described lie inside the memory a filter may touch: a filter given anything
    // else leaves the frame alone.
    [[gnu::always_inline]] bool IsUsable() const
    {
        return bits != nullptr && width > 0 && lines > 0
            && int64(bytesPerRow) >= int64(width) * BytesPerPixel(colorSpace);
    }

    // Bytes of a row that hold pixels.
    [[gnu::always_inline]] int32 RowBytes() const { return width * BytesPerPixel(colorSpace); }

    [[gnu::always_inline]] uint8* Row(int32 y) const { return bits + int64(y) * bytesPerRow; }
};
