#pragma once
// FontEngine: glyph rendering and text drawing into frame buffers; private to the kit.

#include "kits/interface/ClipRegion.h"
#include "kits/interface/Font.h"
#include "kits/kernel/Point.h"

#include <memory>
#include <string_view>

namespace kits::interface {

class FrameBuffer;

// Lets the kit build fonts that the public API cannot, such as the fixed-width standard font.
struct FontAccess {
    static constexpr BFont Make(float size, uint16 face, bool fixed)
    {
        return BFont(size, face, fixed);
    }
    static bool IsFixed(const BFont& font) { return font.fixed; }
    static void SetFixed(BFont& font, bool fixed) { font.fixed = fixed; }
};

// Turns text into anti-aliased glyph coverage. One engine serves the process (Fonts()); it
// loads the typeface files on first use and keeps rendered glyphs in a cache, all under its own
// mutex, so any thread may call it. The mutex is never held while a window lock is taken.
class FontEngine {
public:
    FontEngine();
    ~FontEngine();
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    float StringWidth(const BFont& font, std::string_view text);
    font_height Height(const BFont& font);
    // Draws text with its baseline starting at `baseline` (buffer coordinates), blending color
    // (a packed frame buffer word) by each pixel's coverage, only inside clip. Returns the
    // advance; `changed` receives the pixels that may have changed (empty when none).
    float Draw(FrameBuffer& buffer, const ClipRegion& clip, const BFont& font,
        std::string_view text, BPoint baseline, uint32 color, PixelRect& changed);
    // Whether a typeface file could be loaded; false means the built-in boxes are used.
    bool HasTypeface();

    struct Glyph;

private:
    struct Library;

    std::unique_ptr<Library> library;
};

FontEngine& Fonts();

}
