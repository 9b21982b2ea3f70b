#pragma once
// The implementations behind DrawBitmap and the pixel formats they read, for tests and benchmarks.

#include "kits/interface/DrawBitmap.h"

#include <cstring>
#include <vector>

namespace kits::interface {

// Every function and member here is always inlined, as DrawBitmapAvx2.cpp reads this header too:
// an out-of-line copy built for AVX2 there could be the one the linker keeps for every CPU.
template <typename Pixel>
[[gnu::always_inline]] inline Pixel LoadSourcePixel(const uint8* address)
{
    Pixel pixel;
    std::memcpy(&pixel, address, sizeof(pixel));
    return pixel;
}

// Widens 5 and 6 bits to 8 by repeating the top bits below them.
[[gnu::always_inline]] constexpr uint32 Widen5(uint32 value)
{
    return (value << 3) | (value >> 2);
}

[[gnu::always_inline]] constexpr uint32 Widen6(uint32 value)
{
    return (value << 2) | (value >> 4);
}

// The colour space whose pixel layout an alpha variant shares: its alpha is dropped in drawing.
[[gnu::always_inline]] constexpr color_space OpaqueSpace(color_space space)
{
    switch (space) {
    case B_RGBA15:
        return B_RGB15;
    case B_RGBA32:
        return B_RGB32;
    default:
        return space;
    }
}

struct Gray8Source {
    using Pixel = uint8;
    [[gnu::always_inline]] static constexpr uint32 ToRgb32(Pixel pixel)
    {
        return 0xFF000000u | uint32(pixel) * 0x010101u;
    }
};

// Bit 15 (ignored, or alpha in B_RGBA15) is dropped.
struct Rgb15Source {
    using Pixel = uint16;
    [[gnu::always_inline]] static constexpr uint32 ToRgb32(Pixel pixel)
    {
        return 0xFF000000u | Widen5((pixel >> 10) & 0x1F) << 16 | Widen5((pixel >> 5) & 0x1F) << 8
            | Widen5(pixel & 0x1F);
    }
};

struct Rgb16Source {
    using Pixel = uint16;
    [[gnu::always_inline]] static constexpr uint32 ToRgb32(Pixel pixel)
    {
        return 0xFF000000u | Widen5(pixel >> 11) << 16 | Widen6((pixel >> 5) & 0x3F) << 8
            | Widen5(pixel & 0x1F);
    }
};

// The top byte (ignored, or alpha in B_RGBA32) is dropped.
struct Rgb32Source {
    using Pixel = uint32;
    [[gnu::always_inline]] static constexpr uint32 ToRgb32(Pixel pixel)
    {
        return 0xFF000000u | pixel;
    }
};

// Each takes a source rectangle inside the image (not empty), a destination that is not empty,
// and a clip inside both the destination and the target, and writes exactly the clip's pixels.
using DrawBitmapFunction = void (*)(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip);

// The reference for one source format: it computes the mapping pixel by pixel and defines the
// result, which the other implementations match exactly.
template <typename Format>
void DrawBitmapScalar(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip);

// DrawBitmapScalar for the image's colour space.
void DrawBitmapReference(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip);
// Plain code with a precomputed table of source columns: the path of CPUs without AVX2.
void DrawBitmapTables(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip);
#if defined(__x86_64__)
// Only on a CPU with AVX2.
void DrawBitmapAvx2(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip);
#endif

// The source coordinate nearest-pixel scaling gives for destination offset `offset` (0 for the
// destination's first pixel), with sourceSize pixels drawn into destinationSize.
[[gnu::always_inline]] inline int32 SourceOffset(int64 offset, int64 sourceSize,
    int64 destinationSize)
{
    return int32((2 * offset + 1) * sourceSize / (2 * destinationSize));
}

// Source columns (absolute, in image pixels) of the count destination columns from firstColumn
// on, into table, computed incrementally without a division per column.
void BuildColumnTable(const PixelRect& source, const PixelRect& destination, int32 firstColumn,
    int32 count, int32* table);

struct DrawBitmapImplementation {
    const char* name;
    DrawBitmapFunction function;
};

// Every implementation this CPU runs, the reference first.
std::vector<DrawBitmapImplementation> DrawBitmapImplementations();

// The implementation DrawBitmap uses on this CPU.
DrawBitmapFunction ChosenDrawBitmap();

}
