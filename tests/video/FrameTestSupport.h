#pragma once
// Frames in plain memory for the frame filter tests: padded rows, guard bytes, random content.

#include "kits/interface/FrameView.h"
#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

#include <cstring>
#include <random>
#include <vector>

namespace video::test {

// Owns the bytes of a frame whose rows carry padding bytes past their pixels, followed by guard
// bytes past the last row, so a comparison of Bytes() covers everything a filter must not touch.
class TestFrame {
public:
    static constexpr int32 GUARD_BYTES = 64;

    TestFrame(color_space space, int32 width, int32 lines, int32 padding = 0)
        : view{nullptr, width * ::BytesPerPixel(space) + padding, width, lines, space},
          bytes(size_t(view.bytesPerRow) * size_t(lines) + GUARD_BYTES, 0)
    {
        view.bits = bytes.data();
    }

    TestFrame(const TestFrame& other) : view(other.view), bytes(other.bytes)
    {
        view.bits = bytes.data();
    }
    TestFrame& operator=(const TestFrame&) = delete;

    const FrameView& View() const { return view; }
    const std::vector<uint8>& Bytes() const { return bytes; }
    int32 BytesPerPixel() const { return ::BytesPerPixel(view.colorSpace); }

    uint32 Pixel(int32 x, int32 y) const
    {
        uint32 value = 0;
        std::memcpy(&value, view.Row(y) + size_t(x) * BytesPerPixel(), BytesPerPixel());
        return value;
    }

    void SetPixel(int32 x, int32 y, uint32 value)
    {
        std::memcpy(view.Row(y) + size_t(x) * BytesPerPixel(), &value, BytesPerPixel());
    }

    void Fill(uint32 value)
    {
        for (int32 y = 0; y < view.lines; y++) {
            for (int32 x = 0; x < view.width; x++)
                SetPixel(x, y, value);
        }
    }

    // Every byte, padding and guard included.
    void Randomize(std::mt19937& random)
    {
        for (uint8& byte : bytes)
            byte = uint8(random());
    }

private:
    FrameView view;
    std::vector<uint8> bytes;
};

// The colour spaces the consumer holds, which the de-interlacers take.
inline constexpr color_space CONSUMER_SPACES[] = {B_GRAY8, B_RGB15, B_RGB16, B_RGB32};

// A frame size for comparing a fast path with its reference, padding counting bytes a row.
struct FrameSize {
    int32 width;
    int32 lines;
    int32 padding;
};

// Every width up to past two AVX2 vectors of grey, then randomSizes random ones up to maxWidth
// by maxLines, then a full PAL frame; every frame has at least minLines lines.
inline std::vector<FrameSize> FastPathSizes(
    std::mt19937& random, int32 minLines, int32 randomSizes, int32 maxWidth, int32 maxLines)
{
    std::vector<FrameSize> sizes;
    for (int32 width = 1; width <= 70; width++)
        sizes.push_back({width, minLines + width % 9, width % 5});
    for (int32 i = 0; i < randomSizes; i++) {
        sizes.push_back({1 + int32(random() % uint32(maxWidth)),
            minLines + int32(random() % uint32(maxLines - minLines + 1)), int32(random() % 40)});
    }
    sizes.push_back({768, 576, 0});
    return sizes;
}

// Pixels from channels at the precision each colour space stores.
inline uint32 Rgb32Pixel(uint32 red, uint32 green, uint32 blue, uint32 ignored = 0)
{
    return (ignored << 24) | (red << 16) | (green << 8) | blue;
}

inline uint32 Rgb16Pixel(uint32 red5, uint32 green6, uint32 blue5)
{
    return (red5 << 11) | (green6 << 5) | blue5;
}

inline uint32 Rgb15Pixel(uint32 red5, uint32 green5, uint32 blue5, uint32 ignored = 0)
{
    return (ignored << 15) | (red5 << 10) | (green5 << 5) | blue5;
}

}
