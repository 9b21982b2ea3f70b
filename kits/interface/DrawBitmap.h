#pragma once
// DrawBitmap on plain memory: scales a rectangle of an image into an RGB32 target, nearest pixel.

#include "kits/interface/ClipRegion.h"
#include "kits/interface/FrameView.h"
#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

namespace kits::interface {

// RGB32 pixels the drawing writes and does not own. Row y starts at pixels + y * pixelsPerRow.
struct TargetImage {
    uint32* pixels = nullptr;
    int32 pixelsPerRow = 0;
    int32 width = 0;
    int32 height = 0;
};

// Draws the pixels of `source` (inclusive edges, in image pixels; clipped to the image) of an
// image it only reads, scaled into `destination` (inclusive edges, in target pixels, possibly
// reaching beyond the target), writing only the pixels that lie in `clip` and in the target. The
// mapping does not depend on the clip: destination pixel x takes source column
//     source.left + ((2 (x - destination.left) + 1) source width) / (2 destination width),
// rounded down, i.e. the source pixel under the centre of the destination pixel, and likewise for
// rows. Nearest pixel rather than bilinear: it stays within twice the cost of copying the frame,
// and a video picture shown near its own size gains little from blending.
//
// Pixels come out opaque (top byte 0xFF) in the frame buffer layout; channels narrower than 8
// bits are widened by repeating their top bits below them (5 bits abcde -> abcdeabc, 6 bits
// abcdef -> abcdefab), so black stays 0 and full intensity becomes 255. B_GRAY8 gives grey
// (g, g, g). B_RGB15, B_RGBA15, B_RGB16, B_RGB32 and B_RGBA32 are read (alpha and ignored bits
// are dropped); any other colour space draws nothing. Picks the fastest implementation this CPU
// runs on first use; all give the same pixels.
void DrawBitmap(const FrameView& image, PixelRect source, const TargetImage& target,
    const PixelRect& destination, const ClipRegion& clip);

}
