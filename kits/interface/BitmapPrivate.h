#pragma once
// Pixel layout facts about colour spaces, for the interface kit's own use.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

namespace kits::interface {

// Bits of one pixel, or 0 for a colour space without a layout here.
int32 BitsPerPixel(color_space space);
// Bytes of one row of width pixels, padded to a multiple of 4; 0 for an unknown space.
int64 RowBytesFor(color_space space, int64 width);

}
