#pragma once
// RgbImage: an unpacked picture of 0x00RRGGBB pixels, where the test card paints its stations.

#include "kits/kernel/SupportDefs.h"

#include <memory>

namespace devices {

constexpr uint32 Rgb(uint32 red, uint32 green, uint32 blue)
{
    return (red << 16) | (green << 8) | blue;
}

constexpr uint32 RedOf(uint32 rgb) { return (rgb >> 16) & 0xFF; }
constexpr uint32 GreenOf(uint32 rgb) { return (rgb >> 8) & 0xFF; }
constexpr uint32 BlueOf(uint32 rgb) { return rgb & 0xFF; }

class RgbImage {
public:
    // Frame-sized: a failed allocation answers B_NO_MEMORY and leaves the image empty.
    [[nodiscard]] status_t Allocate(int32 width, int32 lines);

    int32 Width() const { return width; }
    int32 Lines() const { return lines; }
    uint32* Row(int32 y) { return pixels.get() + int64(y) * width; }
    const uint32* Row(int32 y) const { return pixels.get() + int64(y) * width; }

    // Fills the pixels with left <= x < right and top <= y < bottom, clipped to the image.
    void FillRect(int32 left, int32 top, int32 right, int32 bottom, uint32 rgb);
    // Fills a disc of the given radius around (centerX, centerY), clipped.
    void FillDisc(int32 centerX, int32 centerY, int32 radius, uint32 rgb);

private:
    int32 width = 0;
    int32 lines = 0;
    std::unique_ptr<uint32[]> pixels;
};

}
