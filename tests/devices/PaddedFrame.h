#pragma once
// A frame in plain memory for the drawing and conversion tests: its rows carry padding past
// their pixels and guard bytes follow the last row, all filled beforehand so stray writes show.

#include "devices/PixelConversion.h"
#include "kits/interface/FrameView.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace devices::test {

class PaddedFrame {
public:
    static constexpr uint8 FILL = 0xA5;
    static constexpr size_t GUARD_BYTES = 64;

    PaddedFrame(color_space space, int32 width, int32 lines, int32 padding = 0, uint8 fill = FILL)
        : view{nullptr, width * BytesPerPixel(space) + padding, width, lines, space}, fill(fill),
          bytes(size_t(view.bytesPerRow) * size_t(lines) + GUARD_BYTES, fill)
    {
        view.bits = bytes.data();
    }

    // A moved vector keeps its bytes where they were, so the view stays valid; a copy would not.
    PaddedFrame(PaddedFrame&&) = default;

    const FrameView& View() const { return view; }

    TargetFrame Target() const
    {
        return {view.bits, view.bytesPerRow, view.width, view.lines, view.colorSpace};
    }

    // Every byte, padding and guard included.
    const std::vector<uint8>& Bytes() const { return bytes; }

    // The bytes of the rows, without the guard.
    std::vector<uint8> Rows() const
    {
        return {bytes.begin(), bytes.end() - ptrdiff_t(GUARD_BYTES)};
    }

    uint32 Pixel(int32 x, int32 y) const
    {
        uint32 value = 0;
        const int32 pixelBytes = BytesPerPixel(view.colorSpace);
        std::memcpy(&value, view.Row(y) + size_t(x) * pixelBytes, size_t(pixelBytes));
        return value;
    }

    bool RowsEqual(const PaddedFrame& other, int32 y) const
    {
        return std::memcmp(view.Row(y), other.view.Row(y),
                   size_t(view.width) * BytesPerPixel(view.colorSpace))
            == 0;
    }

    // How many pixels differ from the other frame's.
    int32 Differing(const PaddedFrame& other) const
    {
        int32 count = 0;
        for (int32 y = 0; y < view.lines; y++) {
            for (int32 x = 0; x < view.width; x++)
                count += Pixel(x, y) != other.Pixel(x, y);
        }
        return count;
    }

    // Whether the row padding and the guard bytes kept their fill.
    bool PaddingUntouched() const
    {
        const size_t used = size_t(view.width) * BytesPerPixel(view.colorSpace);
        for (size_t i = 0; i < bytes.size(); i++) {
            const bool pixel
                = i < bytes.size() - GUARD_BYTES && i % size_t(view.bytesPerRow) < used;
            if (!pixel && bytes[i] != fill)
                return false;
        }
        return true;
    }

    bool Untouched() const
    {
        return std::ranges::all_of(bytes, [&](uint8 byte) { return byte == fill; });
    }

private:
    FrameView view;
    uint8 fill;
    std::vector<uint8> bytes;
};

}
