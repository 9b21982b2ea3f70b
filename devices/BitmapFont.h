#pragma once
// BitmapFont: the test card's own 5x7 letters, drawn in blocks of scale x scale pixels.

#include "devices/RgbImage.h"
#include "kits/kernel/SupportDefs.h"

#include <string_view>

namespace devices {

// Capital letters, digits, the space and - . , ! ? ' : & + /; lower-case letters draw as capitals
// and any other character as a question mark. A glyph is 5 cells wide and 7 high, and each
// character advances 6 cells, so text has one empty column between letters.
class BitmapFont {
public:
    static constexpr int32 GLYPH_WIDTH = 5;
    static constexpr int32 GLYPH_HEIGHT = 7;
    static constexpr int32 ADVANCE = 6;

    // Pixels from the left of the first letter to the right of the last.
    static int32 TextWidth(std::string_view text, int32 scale);
    // Draws text with its top-left corner at (left, top), clipped to the image; only the lit
    // cells are painted.
    static void Draw(RgbImage& image, int32 left, int32 top, std::string_view text, int32 scale,
        uint32 rgb);
};

}
