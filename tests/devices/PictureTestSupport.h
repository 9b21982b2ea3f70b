#pragma once
// Frames in plain memory for the test card's tests: padded rows, guard bytes, pixel access.

#include "kits/interface/FrameView.h"
#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"
#include "kits/interface/FrameView.h"

#include <cstring>
#include <vector>

namespace devices::test {

constexpr uint8 FILL_BYTE = 0xA5;

// Owns a frame whose rows carry padding bytes past their pixels, followed by guard bytes past the
// last row, all set to FILL_BYTE before drawing, so the tests can see what was written.
class TestFrame {
public:
    static constexpr int32 GUARD_BYTES = 64;

    TestFrame(color_space space, int32 width, int32 lines, int32 padding = 0)
        : buffer{nullptr, width * BytesPerPixel(space) + padding, width, lines, space},
          bytes(size_t(buffer.bytesPerRow) * size_t(lines) + GUARD_BYTES, FILL_BYTE)
    {
        buffer.bits = bytes.data();
    }

    TestFrame(const TestFrame& other) : buffer(other.buffer), bytes(other.bytes)
    {
        buffer.bits = bytes.data();
    }

    TestFrame& operator=(const TestFrame&) = delete;

    const FrameView& Buffer() const { return buffer; }
    const std::vector<uint8>& Bytes() const { return bytes; }
    FrameView View() const
    {
        return {buffer.bits, buffer.bytesPerRow, buffer.width, buffer.lines, buffer.colorSpace};
    }
    int32 Width() const { return buffer.width; }
    int32 Lines() const { return buffer.lines; }

    uint32 Pixel(int32 x, int32 y) const
    {
        uint32 value = 0;
        const int32 pixelBytes = BytesPerPixel(buffer.colorSpace);
        std::memcpy(&value, buffer.Row(y) + size_t(x) * pixelBytes, size_t(pixelBytes));
        return value;
    }

    // Red, green and blue of a pixel widened to 8 bits (grey gives the level three times).
    void Channels(int32 x, int32 y, int32& red, int32& green, int32& blue) const
    {
        const uint32 p = Pixel(x, y);
        switch (buffer.colorSpace) {
        case B_RGB32:
            red = int32(p >> 16 & 0xFF), green = int32(p >> 8 & 0xFF), blue = int32(p & 0xFF);
            break;
        case B_RGB16:
            red = int32(p >> 11 & 0x1F) << 3, green = int32(p >> 5 & 0x3F) << 2;
            blue = int32(p & 0x1F) << 3;
            break;
        case B_RGB15:
            red = int32(p >> 10 & 0x1F) << 3, green = int32(p >> 5 & 0x1F) << 3;
            blue = int32(p & 0x1F) << 3;
            break;
        default:
            red = green = blue = int32(p);
            break;
        }
    }

    bool RowsEqual(const TestFrame& other, int32 y) const
    {
        return std::memcmp(buffer.Row(y), other.buffer.Row(y),
                   size_t(buffer.width) * BytesPerPixel(buffer.colorSpace))
            == 0;
    }

    // Sum over all pixels of |row y - row y + 1| in green, over rows [top, bottom).
    int64 VerticalDifference(int32 top, int32 bottom) const
    {
        int64 sum = 0;
        for (int32 y = top; y + 1 < bottom; y++) {
            for (int32 x = 0; x < buffer.width; x++) {
                int32 r0, g0, b0, r1, g1, b1;
                Channels(x, y, r0, g0, b0);
                Channels(x, y + 1, r1, g1, b1);
                sum += g0 > g1 ? g0 - g1 : g1 - g0;
            }
        }
        return sum;
    }

private:
    FrameView buffer;
    std::vector<uint8> bytes;
};

}
