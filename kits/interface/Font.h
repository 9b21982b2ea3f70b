#pragma once
// BFont: a typeface at a size, with its measurements, and the system's three standard fonts.

#include "kits/kernel/SupportDefs.h"

namespace kits::interface {
struct FontAccess;
}

// Faces, combined as bits; B_REGULAR_FACE stands alone.
enum : uint16 {
    B_ITALIC_FACE = 0x0001,
    B_UNDERSCORE_FACE = 0x0002,
    B_NEGATIVE_FACE = 0x0004,
    B_OUTLINED_FACE = 0x0008,
    B_STRIKEOUT_FACE = 0x0010,
    B_BOLD_FACE = 0x0020,
    B_REGULAR_FACE = 0x0040,
};

// Which properties BView::SetFont copies.
enum : uint32 {
    B_FONT_FAMILY_AND_STYLE = 0x0001,
    B_FONT_SIZE = 0x0002,
    B_FONT_SHEAR = 0x0004,
    B_FONT_ROTATION = 0x0008,
    B_FONT_SPACING = 0x0010,
    B_FONT_ENCODING = 0x0020,
    B_FONT_FACE = 0x0040,
    B_FONT_FLAGS = 0x0080,
    B_FONT_ALL = 0x00FF,
};

// Distances from the baseline, in pixels: ascent above it, descent below it, and leading, the
// gap the font wants between one line's descent and the next line's ascent.
struct font_height {
    float ascent;
    float descent;
    float leading;
};

// A value: a family (proportional or fixed-width), a face and a size in points, where a point is
// one pixel. Text is rendered from the system's sans-serif typeface in the regular, bold, italic
// or bold italic cut the face asks for; where no typeface file can be loaded, a plain built-in
// glyph set of boxes stands in, so that measuring stays sensible and drawing never fails.
// Measuring may be done from any thread at any time.
class BFont {
public:
    // A copy of be_plain_font.
    constexpr BFont() = default;
    BFont(const BFont&) = default;
    BFont& operator=(const BFont&) = default;

    // Sizes below 1 point become 1, above 1000 become 1000.
    void SetSize(float size);
    float Size() const;
    // B_REGULAR_FACE, or a combination of B_BOLD_FACE and B_ITALIC_FACE; other bits are kept
    // but do not change the rendering.
    void SetFace(uint16 face);
    uint16 Face() const;
    bool IsFixed() const;

    // The advance of the UTF-8 text, in pixels; 0 for null or empty text. The length form
    // measures at most length bytes.
    float StringWidth(const char* string) const;
    float StringWidth(const char* string, int32 length) const;
    void GetHeight(font_height* height) const;

    bool operator==(const BFont&) const = default;

private:
    friend struct kits::interface::FontAccess;

    constexpr BFont(float size, uint16 face, bool fixed) : size(size), face(face), fixed(fixed) {}

    float size = 12.0f;
    uint16 face = B_REGULAR_FACE;
    bool fixed = false;
};

// 12 points regular, 12 points bold, and 12 points fixed-width. They live for the whole process.
extern const BFont* be_plain_font;
extern const BFont* be_bold_font;
extern const BFont* be_fixed_font;
