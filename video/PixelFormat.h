#pragma once
// The pixel formats the frame filters know, as types the scalar references are written over.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

#include <cstring>

namespace video {

// HALVE_MASK clears the lowest bit of every channel (and the ignored bits), so that
// (p AND HALVE_MASK) >> 1 halves each channel without a bit crossing into its neighbour.
struct Gray8 {
    using Pixel = uint8;
    static constexpr color_space SPACE = B_GRAY8;
    static constexpr Pixel HALVE_MASK = 0xFE;
};

struct Rgb15 {
    using Pixel = uint16;
    static constexpr color_space SPACE = B_RGB15;
    static constexpr Pixel HALVE_MASK = 0x7BDE;
};

struct Rgb16 {
    using Pixel = uint16;
    static constexpr color_space SPACE = B_RGB16;
    static constexpr Pixel HALVE_MASK = 0xF7DE;
};

struct Rgb32 {
    using Pixel = uint32;
    static constexpr color_space SPACE = B_RGB32;
    static constexpr Pixel HALVE_MASK = 0x00FEFEFE;
};

// Pixels are read and written through memcpy: rows need not be aligned to the pixel size.
// Always inlined, as the AVX2 files read this header too (see FrameView.h).
template <typename Pixel>
[[gnu::always_inline]] inline Pixel LoadPixel(const uint8* address)
{
    Pixel pixel;
    std::memcpy(&pixel, address, sizeof(pixel));
    return pixel;
}

template <typename Pixel>
[[gnu::always_inline]] inline void StorePixel(uint8* address, Pixel pixel)
{
    std::memcpy(address, &pixel, sizeof(pixel));
}

}
