// Lock order: a window's lock, then the font engine's mutex. The engine never takes a window
// lock.
#include "kits/interface/FontEngine.h"

#include "kits/interface/FrameBuffer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace kits::interface {

struct FontEngine::Glyph {
    // The coverage bitmap's top-left relative to the pen on the baseline: x + left, y - top.
    int32 left = 0;
    int32 top = 0;
    int32 width = 0;
    int32 height = 0;
    // Pixels the pen moves on.
    float advance = 0;
    std::vector<uint8> coverage;
};

namespace {

using Glyph = FontEngine::Glyph;

constexpr const char* FONT_FOLDER = "/usr/share/fonts/truetype/dejavu/";
// By style index: fixed * 4 + bold * 2 + italic.
constexpr std::array<const char*, 8> FONT_FILES = {
    "DejaVuSans.ttf",
    "DejaVuSans-Oblique.ttf",
    "DejaVuSans-Bold.ttf",
    "DejaVuSans-BoldOblique.ttf",
    "DejaVuSansMono.ttf",
    "DejaVuSansMono-Oblique.ttf",
    "DejaVuSansMono-Bold.ttf",
    "DejaVuSansMono-BoldOblique.ttf",
};
// A cache that grows past this many glyphs starts again: only a few sizes are ever in use.
constexpr size_t MAX_CACHED_GLYPHS = 8192;
constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

struct LibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using LibraryHandle = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDeleter>;
using FaceHandle = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;

int32 StyleIndex(const BFont& font)
{
    const uint16 face = font.Face();
    return (FontAccess::IsFixed(font) ? 4 : 0) + ((face & B_BOLD_FACE) != 0 ? 2 : 0)
        + ((face & B_ITALIC_FACE) != 0 ? 1 : 0);
}

// Size in 1/64 pixel, as FreeType counts.
uint32 SizeKey(const BFont& font)
{
    return uint32(std::lround(font.Size() * 64.0f));
}

// Decodes one UTF-8 character at text[position] and moves position past it; malformed bytes
// give the replacement character and are skipped one at a time.
char32_t NextCharacter(std::string_view text, size_t& position)
{
    const auto byte = [&](size_t at) { return uint8(text[at]); };
    const uint8 lead = byte(position);
    int32 length;
    char32_t value;
    if (lead < 0x80) {
        position++;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
    } else {
        position++;
        return REPLACEMENT_CHARACTER;
    }
    if (position + size_t(length) > text.size()) {
        position++;
        return REPLACEMENT_CHARACTER;
    }
    for (int32 i = 1; i < length; i++) {
        const uint8 next = byte(position + size_t(i));
        if ((next & 0xC0) != 0x80) {
            position++;
            return REPLACEMENT_CHARACTER;
        }
        value = value << 6 | (next & 0x3F);
    }
    position += size_t(length);
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return REPLACEMENT_CHARACTER;
    return value;
}

// The stand-in glyph without a typeface: an outlined box for anything but a space.
Glyph BoxGlyph(float size, char32_t character)
{
    Glyph glyph;
    glyph.advance = std::max(1.0f, std::round(size * 0.6f));
    if (character == U' ' || character < 0x20)
        return glyph;
    glyph.width = std::max(1, int32(glyph.advance) - 2);
    glyph.height = std::max(1, int32(std::lround(size * 0.7f)));
    glyph.left = 1;
    glyph.top = glyph.height;
    glyph.coverage.assign(size_t(glyph.width) * size_t(glyph.height), 0);
    for (int32 y = 0; y < glyph.height; y++) {
        for (int32 x = 0; x < glyph.width; x++) {
            if (x == 0 || y == 0 || x == glyph.width - 1 || y == glyph.height - 1)
                glyph.coverage[size_t(y * glyph.width + x)] = 255;
        }
    }
    return glyph;
}

// A packed colour mixed over another by coverage (0 keeps the old pixel, 255 takes the new one).
uint32 Blend(uint32 over, uint32 under, uint32 coverage)
{
    const uint32 keep = 255 - coverage;
    uint32 result = 0xFF000000u;
    for (int32 shift = 0; shift <= 16; shift += 8) {
        const uint32 a = (over >> shift) & 0xFF;
        const uint32 b = (under >> shift) & 0xFF;
        result |= ((a * coverage + b * keep + 127) / 255) << shift;
    }
    return result;
}

}

struct FontEngine::Library {
    std::mutex lock;
    // Guarded by lock.
    bool loaded = false;
    LibraryHandle library;
    std::array<FaceHandle, FONT_FILES.size()> faces;
    // The size each face is set to now, in 1/64 pixel.
    std::array<uint32, FONT_FILES.size()> faceSizes{};
    std::unordered_map<uint64, std::shared_ptr<const Glyph>> glyphs;

    void Load()
    {
        if (loaded)
            return;
        loaded = true;
        FT_Library raw;
        if (FT_Init_FreeType(&raw) != 0)
            return;
        library.reset(raw);
        for (size_t i = 0; i < FONT_FILES.size(); i++) {
            const std::string path = std::string(FONT_FOLDER) + FONT_FILES[i];
            FT_Face face;
            if (FT_New_Face(library.get(), path.c_str(), 0, &face) == 0)
                faces[i].reset(face);
        }
    }

    // The face for a style: the style's own file, or the family's regular cut, or the
    // proportional regular one; null when none could be loaded.
    FT_Face FaceFor(int32 style)
    {
        Load();
        for (int32 candidate : {style, style & 4, 0}) {
            if (faces[size_t(candidate)] != nullptr)
                return faces[size_t(candidate)].get();
        }
        return nullptr;
    }

    bool SetSize(FT_Face face, int32 style, uint32 sizeKey)
    {
        const size_t index = size_t(style);
        if (faceSizes[index] == sizeKey && faces[index].get() == face)
            return true;
        if (FT_Set_Char_Size(face, 0, FT_F26Dot6(sizeKey), 72, 72) != 0)
            return false;
        // The fallback chain may share one face among styles: remember the size per face.
        for (size_t i = 0; i < faces.size(); i++) {
            if (faces[i].get() == face)
                faceSizes[i] = sizeKey;
        }
        return true;
    }

    Glyph Render(const BFont& font, char32_t character)
    {
        const int32 style = StyleIndex(font);
        FT_Face face = FaceFor(style);
        if (face == nullptr || !SetSize(face, style, SizeKey(font)))
            return BoxGlyph(font.Size(), character);
        FT_UInt index = FT_Get_Char_Index(face, FT_ULong(character));
        if (index == 0)
            index = FT_Get_Char_Index(face, FT_ULong(REPLACEMENT_CHARACTER));
        if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT) != 0
            || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
            return BoxGlyph(font.Size(), character);
        }
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Glyph glyph;
        glyph.advance = float(slot->advance.x) / 64.0f;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
            return glyph;
        glyph.width = int32(bitmap.width);
        glyph.height = int32(bitmap.rows);
        glyph.coverage.resize(size_t(glyph.width) * size_t(glyph.height));
        for (int32 y = 0; y < glyph.height; y++) {
            const uint8* row = bitmap.buffer + int64(y) * bitmap.pitch;
            std::copy(row, row + glyph.width, glyph.coverage.begin() + y * glyph.width);
        }
        return glyph;
    }

    std::shared_ptr<const Glyph> GlyphFor(const BFont& font, char32_t character)
    {
        const uint64 key = uint64(StyleIndex(font)) << 56 | uint64(SizeKey(font)) << 32
            | uint64(character);
        if (auto found = glyphs.find(key); found != glyphs.end())
            return found->second;
        if (glyphs.size() >= MAX_CACHED_GLYPHS)
            glyphs.clear();
        auto glyph = std::make_shared<const Glyph>(Render(font, character));
        glyphs.emplace(key, glyph);
        return glyph;
    }

    std::vector<std::shared_ptr<const Glyph>> GlyphsFor(const BFont& font, std::string_view text)
    {
        std::vector<std::shared_ptr<const Glyph>> result;
        for (size_t position = 0; position < text.size();)
            result.push_back(GlyphFor(font, NextCharacter(text, position)));
        return result;
    }
};

FontEngine::FontEngine()
    :
    library(std::make_unique<Library>())
{
}

FontEngine::~FontEngine() = default;

float FontEngine::StringWidth(const BFont& font, std::string_view text)
{
    std::lock_guard guard(library->lock);
    float width = 0;
    for (const auto& glyph : library->GlyphsFor(font, text))
        width += glyph->advance;
    return width;
}

font_height FontEngine::Height(const BFont& font)
{
    std::lock_guard guard(library->lock);
    const int32 style = StyleIndex(font);
    FT_Face face = library->FaceFor(style);
    if (face == nullptr || !library->SetSize(face, style, SizeKey(font))) {
        return {std::ceil(font.Size() * 0.8f), std::ceil(font.Size() * 0.2f), 0};
    }
    const FT_Size_Metrics& metrics = face->size->metrics;
    const float ascent = float(metrics.ascender) / 64.0f;
    const float descent = -float(metrics.descender) / 64.0f;
    const float leading = std::max(0.0f, float(metrics.height) / 64.0f - ascent - descent);
    return {ascent, descent, leading};
}

bool FontEngine::HasTypeface()
{
    std::lock_guard guard(library->lock);
    return library->FaceFor(0) != nullptr;
}

float FontEngine::Draw(FrameBuffer& buffer, const ClipRegion& clip, const BFont& font,
    std::string_view text, BPoint baseline, uint32 color, PixelRect& changed)
{
    std::vector<std::shared_ptr<const Glyph>> glyphs;
    {
        std::lock_guard guard(library->lock);
        glyphs = library->GlyphsFor(font, text);
    }
    changed = PixelRect();
    const int32 baselineY = int32(std::lround(baseline.y));
    float penX = baseline.x;
    for (const auto& glyph : glyphs) {
        const int32 left = int32(std::lround(penX)) + glyph->left;
        const int32 top = baselineY - glyph->top;
        penX += glyph->advance;
        if (glyph->width == 0 || glyph->height == 0)
            continue;
        const PixelRect area{left, top, left + glyph->width - 1, top + glyph->height - 1};
        bool touched = false;
        for (const PixelRect& part : clip.Rects()) {
            const PixelRect inside = part.Intersection(area).Intersection(buffer.Rect());
            if (inside.IsEmpty())
                continue;
            touched = true;
            for (int32 y = inside.top; y <= inside.bottom; y++) {
                uint32* row = buffer.Row(y);
                const uint8* source = glyph->coverage.data() + (y - top) * glyph->width;
                for (int32 x = inside.left; x <= inside.right; x++) {
                    const uint32 coverage = source[x - left];
                    if (coverage != 0)
                        row[x] = Blend(color, row[x], coverage);
                }
            }
        }
        if (!touched)
            continue;
        if (changed.IsEmpty()) {
            changed = area;
        } else {
            changed = {std::min(changed.left, area.left), std::min(changed.top, area.top),
                std::max(changed.right, area.right), std::max(changed.bottom, area.bottom)};
        }
    }
    return penX - baseline.x;
}

FontEngine& Fonts()
{
    // Never destroyed, so that text may still be measured while the program exits.
    static FontEngine* engine = new FontEngine;
    return *engine;
}

}
