#include "video/MotionDeInterlace.h"

#include "kits/interface/Bitmap.h"
#include "video/MotionDeInterlacePrivate.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace video {

// Fields per second above which a signal has 525 lines (59.94) rather than 625 (50).
constexpr float HIGHEST_625_LINE_RATE = 55.0f;

namespace {

template <typename Format>
bool Moved(typename Format::Pixel now, typename Format::Pixel before)
{
    for (const MotionChannel& channel : MotionLayout<Format>::CHANNELS) {
        const int32 a = int32((now >> channel.shift) & channel.mask);
        const int32 b = int32((before >> channel.shift) & channel.mask);
        if (uint32(a > b ? a - b : b - a) > channel.threshold)
            return true;
    }
    return false;
}

// Each channel's mean, rounded down: a + b is twice their common bits plus the bits they differ
// in, and the mask keeps a channel's halved difference from taking a bit of its neighbour.
template <typename Format>
typename Format::Pixel Average(typename Format::Pixel a, typename Format::Pixel b)
{
    using Pixel = typename Format::Pixel;
    return Pixel((a & b) + (((a ^ b) & Format::HALVE_MASK) >> 1));
}

// How far apart two pixels are in the channel that stands for brightness.
template <typename Format>
uint32 KeyDifference(typename Format::Pixel a, typename Format::Pixel b)
{
    constexpr MotionChannel KEY = MotionLayout<Format>::KEY;
    const int32 keyA = int32((a >> KEY.shift) & KEY.mask);
    const int32 keyB = int32((b >> KEY.shift) & KEY.mask);
    return uint32(keyA > keyB ? keyA - keyB : keyB - keyA);
}

// Pixel x of a row between above and below, interpolated along the edge through it: of the
// pairs above-left and below-right, straight above and below, and above-right and below-left,
// the one whose brightness differs least is averaged, straight on a tie and at either end.
template <typename Format>
typename Format::Pixel Interpolate(const uint8* above, const uint8* below, int32 x, int32 width)
{
    using Pixel = typename Format::Pixel;
    auto at = [](const uint8* row, int32 i) {
        return LoadPixel<Pixel>(row + size_t(i) * sizeof(Pixel));
    };
    const Pixel straight = Average<Format>(at(above, x), at(below, x));
    if (x == 0 || x == width - 1)
        return straight;
    const uint32 costStraight = KeyDifference<Format>(at(above, x), at(below, x));
    const uint32 costLeft = KeyDifference<Format>(at(above, x - 1), at(below, x + 1));
    const uint32 costRight = KeyDifference<Format>(at(above, x + 1), at(below, x - 1));
    if (costStraight <= costLeft && costStraight <= costRight)
        return straight;
    if (costLeft <= costRight)
        return Average<Format>(at(above, x - 1), at(below, x + 1));
    return Average<Format>(at(above, x + 1), at(below, x - 1));
}

}

template <typename Format>
void MotionDeInterlaceScalar(
    const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order)
{
    using Pixel = typename Format::Pixel;
    MotionFrame pass;
    if (frame.colorSpace != Format::SPACE) {
        state.Drop();
        return;
    }
    if (!BeginMotionFrame(frame, state, order, pass))
        return;
    const int32 width = frame.width;
    auto at = [](const uint8* row, int32 x) {
        return LoadPixel<Pixel>(row + size_t(x) * sizeof(Pixel));
    };

    // moved[j * width + x]: pixel x of row j of the later field changed since the frame before.
    std::vector<bool> moved(size_t(pass.fieldRows) * size_t(width), true);
    for (int32 j = 0; j < pass.fieldRows; j++) {
        const uint8* row = frame.Row(pass.firstRow + 2 * j);
        uint8* previous = pass.previous + int64(j) * pass.rowBytes;
        if (pass.hasPrevious) {
            for (int32 x = 0; x < width; x++)
                moved[size_t(j) * width + x] = Moved<Format>(at(row, x), at(previous, x));
        }
        std::memcpy(previous, row, size_t(pass.rowBytes));
    }

    for (int32 j = 0; j < pass.fieldRows; j++) {
        const int32 y = pass.firstRow + 2 * j;
        uint8* row = frame.Row(y);
        // At the top and bottom the one neighbouring row stands for both.
        const uint8* above = frame.Row(y > 0 ? y - 1 : y + 1);
        const uint8* below = frame.Row(y + 1 < frame.lines ? y + 1 : y - 1);
        for (int32 x = 0; x < width; x++) {
            // Edges of a moving object may differ too little to count, yet comb against the
            // other field: its neighbours' motion counts as its own.
            bool near = false;
            for (int32 k = std::max(j - 1, 0); k <= std::min(j + 1, pass.fieldRows - 1); k++) {
                for (int32 i = std::max(x - 1, 0); i <= std::min(x + 1, width - 1); i++)
                    near = near || moved[size_t(k) * width + i];
            }
            if (!near)
                continue;
            StorePixel<Pixel>(
                row + size_t(x) * sizeof(Pixel), Interpolate<Format>(above, below, x, width));
        }
    }
    state.hasPrevious = true;
}

template void MotionDeInterlaceScalar<Gray8>(
    const FrameView&, MotionDeInterlaceState&, FieldOrder);
template void MotionDeInterlaceScalar<Rgb15>(
    const FrameView&, MotionDeInterlaceState&, FieldOrder);
template void MotionDeInterlaceScalar<Rgb16>(
    const FrameView&, MotionDeInterlaceState&, FieldOrder);
template void MotionDeInterlaceScalar<Rgb32>(
    const FrameView&, MotionDeInterlaceState&, FieldOrder);

void MotionDeInterlaceReference(
    const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order)
{
    switch (frame.colorSpace) {
    case B_GRAY8:
        return MotionDeInterlaceScalar<Gray8>(frame, state, order);
    case B_RGB15:
        return MotionDeInterlaceScalar<Rgb15>(frame, state, order);
    case B_RGB16:
        return MotionDeInterlaceScalar<Rgb16>(frame, state, order);
    case B_RGB32:
        return MotionDeInterlaceScalar<Rgb32>(frame, state, order);
    default:
        state.Drop();
        return;
    }
}

bool BeginMotionFrame(
    const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order, MotionFrame& pass)
{
    if (!frame.IsUsable() || BytesPerPixel(frame.colorSpace) == 0 || frame.lines < 2) {
        state.Drop();
        return false;
    }
    pass.firstRow = order == FIELD_ORDER_TOP_FIRST ? 1 : 0;
    pass.fieldRows = (frame.lines - pass.firstRow + 1) / 2;
    pass.rowBytes = frame.RowBytes();
    if (state.width != frame.width || state.lines != frame.lines
        || state.colorSpace != frame.colorSpace || state.order != order
        || state.previousField == nullptr) {
        state = MotionDeInterlaceState();
        // Frame-sized: a failure leaves the frame alone rather than ending the program.
        state.previousField.reset(
            new (std::nothrow) uint8[size_t(pass.rowBytes) * size_t(pass.fieldRows)]);
        state.scratch.reset(new (std::nothrow) uint8[ScratchBytes(pass.rowBytes)]);
        if (state.previousField == nullptr || state.scratch == nullptr) {
            state = MotionDeInterlaceState();
            return false;
        }
        state.width = frame.width;
        state.lines = frame.lines;
        state.colorSpace = frame.colorSpace;
        state.order = order;
    }
    pass.hasPrevious = state.hasPrevious;
    pass.previous = state.previousField.get();
    pass.scratch = state.scratch.get();
    return true;
}

std::vector<MotionDeInterlaceImplementation> MotionDeInterlaceImplementations()
{
    std::vector<MotionDeInterlaceImplementation> implementations{
        {"Scalar", MotionDeInterlaceReference}};
#if defined(__x86_64__)
    implementations.push_back({"Sse2", MotionDeInterlaceSse2});
    if (__builtin_cpu_supports("avx2"))
        implementations.push_back({"Avx2", MotionDeInterlaceAvx2});
#endif
    return implementations;
}

namespace {

MotionDeInterlaceFunction ChooseMotionDeInterlace()
{
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2") ? MotionDeInterlaceAvx2 : MotionDeInterlaceSse2;
#else
    return MotionDeInterlaceReference;
#endif
}

}

}

FieldOrder FieldOrderForRate(float fieldRate)
{
    return fieldRate > video::HIGHEST_625_LINE_RATE ? FIELD_ORDER_BOTTOM_FIRST
                                                    : FIELD_ORDER_TOP_FIRST;
}

void MotionDeInterlace(const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order)
{
    // Chosen once, on the first frame; the CPU does not change under a running process.
    static const video::MotionDeInterlaceFunction implementation
        = video::ChooseMotionDeInterlace();
    implementation(frame, state, order);
}

void MotionDeInterlace(BBitmap* bitmap, MotionDeInterlaceState& state, FieldOrder order)
{
    if (bitmap == nullptr || !bitmap->IsValid()) {
        state.Drop();
        return;
    }
    const BRect bounds = bitmap->Bounds();
    MotionDeInterlace(
        FrameView{static_cast<uint8*>(bitmap->Bits()), bitmap->BytesPerRow(),
            bounds.IntegerWidth() + 1, bounds.IntegerHeight() + 1, bitmap->ColorSpace()},
        state, order);
}
