#include "video/FindContrast.h"

#include "kits/interface/Bitmap.h"
#include "video/FindContrastPrivate.h"
#include "video/PixelFormat.h"

#include <algorithm>
#include <cstdlib>
#include <type_traits>

namespace video {

namespace {

// Bytes walked from the start of the bits: one short stretch at the top of the picture.
template <typename Format>
constexpr size_t WALK_BYTES = 0;
template <>
constexpr size_t WALK_BYTES<Gray8> = 512;
template <>
constexpr size_t WALK_BYTES<Rgb15> = 2048;
template <>
constexpr size_t WALK_BYTES<Rgb16> = 2048;
template <>
constexpr size_t WALK_BYTES<Rgb32> = 8192;

// Shift that brings the top three bits of green (of the stored grey byte) to bits 2 to 4. A grey
// frame the screen cannot draw has had every byte divided by 8 before it gets here, so its bits
// 2 to 4 are then the top three bits of the original grey level.
template <typename Format>
constexpr int LEVEL_SHIFT = 0;
template <>
constexpr int LEVEL_SHIFT<Rgb15> = 5;
template <>
constexpr int LEVEL_SHIFT<Rgb16> = 6;
template <>
constexpr int LEVEL_SHIFT<Rgb32> = 11;

constexpr uint32 LEVEL_MASK = 0x1C;

}

template <typename Format>
int32 FindContrastScalar(const uint8* bits, size_t length)
{
    using Pixel = typename Format::Pixel;
    const size_t pixels = std::min(length, WALK_BYTES<Format>) / sizeof(Pixel);
    int32 sum = 0;
    int32 previousLevel = 0;
    for (size_t i = 0; i < pixels; i++) {
        const uint32 pixel = LoadPixel<Pixel>(bits + i * sizeof(Pixel));
        const int32 level = int32((pixel >> LEVEL_SHIFT<Format>) & LEVEL_MASK);
        sum += std::abs(level - previousLevel);
        previousLevel = level;
    }
    // Grey walks a quarter of the pixels of the RGB32 walk; scaled to the same range.
    return std::is_same_v<Format, Gray8> ? sum * 4 : sum;
}

template int32 FindContrastScalar<Gray8>(const uint8*, size_t);
template int32 FindContrastScalar<Rgb15>(const uint8*, size_t);
template int32 FindContrastScalar<Rgb16>(const uint8*, size_t);
template int32 FindContrastScalar<Rgb32>(const uint8*, size_t);

}

int32 FindContrast(const FrameView& frame, size_t bitsLength)
{
    using namespace video;
    if (frame.bits == nullptr)
        return 0;
    switch (frame.colorSpace) {
    case B_GRAY8:
        return FindContrastScalar<Gray8>(frame.bits, bitsLength);
    case B_RGB15:
        return FindContrastScalar<Rgb15>(frame.bits, bitsLength);
    case B_RGB16:
        return FindContrastScalar<Rgb16>(frame.bits, bitsLength);
    case B_RGB32:
        return FindContrastScalar<Rgb32>(frame.bits, bitsLength);
    default:
        return 0;
    }
}

int32 FindContrast(const BBitmap* bitmap)
{
    if (bitmap == nullptr || !bitmap->IsValid())
        return 0;
    const BRect bounds = bitmap->Bounds();
    const FrameView frame{static_cast<uint8*>(bitmap->Bits()), bitmap->BytesPerRow(),
        bounds.IntegerWidth() + 1, bounds.IntegerHeight() + 1, bitmap->ColorSpace()};
    return FindContrast(frame, size_t(bitmap->BitsLength()));
}
