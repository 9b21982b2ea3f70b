#pragma once
// PictureBuffer: the memory of one frame that the test signal card draws into.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

namespace devices {

// Bytes of one pixel in the colour spaces the card produces; 0 for every other space.
constexpr int32 PixelBytes(color_space space)
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

// Observes memory it does not own. Row y starts at bits + y * bytesPerRow; the bytes of a row past
// its width pixels are padding, which the card never touches.
struct PictureBuffer {
    uint8* bits = nullptr;
    int32 bytesPerRow = 0;
    // Pixels in a row.
    int32 width = 0;
    // Rows in the frame.
    int32 lines = 0;
    color_space colorSpace = B_NO_COLOR_SPACE;

    uint8* Row(int32 y) const { return bits + int64(y) * bytesPerRow; }
};

}
