#pragma once
// FindContrast: how busy the top of a frame is, for telling a station from noise.

#include "kits/interface/FrameView.h"
#include "kits/kernel/SupportDefs.h"

#include <cstddef>

class BBitmap;

// Walks the first bytes of the bits (512 for B_GRAY8, 2048 for the 16-bit spaces, 8192 for
// B_RGB32, never more than bitsLength) and adds up how far the top three bits of each pixel's
// green (of the grey level for B_GRAY8) step from the pixel before; B_GRAY8 counts four times.
// 0 is a flat picture, large values are noise; other colour spaces give 0. Reads only.
int32 FindContrast(const FrameView& frame, size_t bitsLength);

// The same on a frame bitmap: its bits, bytes per row, bounds and colour space, walking no more
// than its BitsLength(). 0 for a null or invalid bitmap.
int32 FindContrast(const BBitmap* bitmap);
