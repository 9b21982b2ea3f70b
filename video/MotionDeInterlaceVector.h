#pragma once
// MotionDeInterlace written once over a vector instruction set. Read only by the file of each
// instruction set, which passes its wrapper V (video/VectorSse2.h, video/VectorAvx2.h), whose
// anonymous namespace keeps every instantiation in the file built for its instruction set.
//
// Of V it uses Reg, BYTES, Set32, Load, Store, And, AndNot, Or, Xor, Add16, ShiftRight16,
// SubtractSaturated8, SubtractSaturated16, Equal8, Equal16, Equal32 and AllOnes.
//
// Motion is kept as masks of whole pixels, all ones where a pixel stood still, so that the
// spread to the neighbours is an AND of shifted loads and the choice between the woven and the
// interpolated pixel a select.

#include "video/MotionDeInterlacePrivate.h"

#include <bit>
#include <cstring>

namespace video {

namespace motion_vector {

// Whether a channel lies within one byte of its pixel, so that bytewise arithmetic measures it.
consteval bool InOneByte(const MotionChannel& channel)
{
    const int bits = std::popcount(channel.mask);
    return channel.shift / 8 == (channel.shift + bits - 1) / 8;
}

// A pixel's bits repeated over a 32-bit word.
template <typename Format>
consteval uint32 Repeated(uint32 pixelBits)
{
    uint32 word = 0;
    for (size_t byte = 0; byte < 4; byte += sizeof(typename Format::Pixel))
        word |= pixelBits << (8 * byte);
    return word;
}

// The bits of the channels that lie within a byte (inByte) or across two.
template <typename Format>
consteval uint32 ChannelBits(bool inByte)
{
    uint32 bits = 0;
    for (const MotionChannel& channel : MotionLayout<Format>::CHANNELS) {
        if (InOneByte(channel) == inByte)
            bits |= channel.mask << channel.shift;
    }
    return Repeated<Format>(bits);
}

// The threshold of each byte for the channels within a byte, in their place; 0xFF, which no
// difference exceeds, in a byte with none.
template <typename Format>
consteval uint32 ByteThresholds()
{
    uint32 bits = 0xFFFFFFFFu >> (32 - 8 * sizeof(typename Format::Pixel));
    for (const MotionChannel& channel : MotionLayout<Format>::CHANNELS) {
        if (InOneByte(channel)) {
            bits &= ~(0xFFu << (channel.shift / 8 * 8));
            bits |= channel.threshold << channel.shift;
        }
    }
    return Repeated<Format>(bits);
}

// How many channels lie across two bytes.
template <typename Format>
consteval int LaneChannels()
{
    int count = 0;
    for (const MotionChannel& channel : MotionLayout<Format>::CHANNELS)
        count += InOneByte(channel) ? 0 : 1;
    return count;
}

// The threshold of the channel across two bytes, in its place in a 16-bit lane; 0 if none.
template <typename Format>
consteval uint32 LaneThreshold()
{
    uint32 bits = 0;
    for (const MotionChannel& channel : MotionLayout<Format>::CHANNELS) {
        if (!InOneByte(channel))
            bits = channel.threshold << channel.shift;
    }
    return Repeated<Format>(bits);
}

// The format's HALVE_MASK in every pixel of a 32-bit word.
template <typename Format>
consteval uint32 HalveWord()
{
    return Repeated<Format>(Format::HALVE_MASK);
}

// All ones in each pixel of now that no channel has changed by more than its threshold since
// before, zeros in the others. A channel in the place it has in the pixel compares as it would
// shifted down, its threshold being in that place too: channels within a byte are measured
// bytewise, a channel across two bytes in 16-bit lanes.
template <typename V, typename Format>
[[gnu::always_inline]] inline typename V::Reg Still(typename V::Reg now, typename V::Reg before)
{
    using Reg = typename V::Reg;
    static_assert(LaneChannels<Format>() == 0
            || (LaneChannels<Format>() == 1 && sizeof(typename Format::Pixel) == 2),
        "a channel across bytes is measured in 16-bit lanes, one a pixel");
    constexpr uint32 BYTE_BITS = ChannelBits<Format>(true);
    constexpr uint32 LANE_BITS = ChannelBits<Format>(false);
    const Reg zero = V::Set32(0);
    Reg a = now;
    Reg b = before;
    if constexpr (LANE_BITS != 0) {
        a = V::And(now, V::Set32(int32(BYTE_BITS)));
        b = V::And(before, V::Set32(int32(BYTE_BITS)));
    }
    // The absolute difference less the threshold is 0 where it is within it.
    Reg over
        = V::SubtractSaturated8(V::Or(V::SubtractSaturated8(a, b), V::SubtractSaturated8(b, a)),
            V::Set32(int32(ByteThresholds<Format>())));
    if constexpr (LANE_BITS != 0) {
        const Reg laneA = V::And(now, V::Set32(int32(LANE_BITS)));
        const Reg laneB = V::And(before, V::Set32(int32(LANE_BITS)));
        over = V::Or(over,
            V::SubtractSaturated16(
                V::Or(V::SubtractSaturated16(laneA, laneB), V::SubtractSaturated16(laneB, laneA)),
                V::Set32(int32(LaneThreshold<Format>()))));
    }
    if constexpr (sizeof(typename Format::Pixel) == 1)
        return V::Equal8(over, zero);
    else if constexpr (sizeof(typename Format::Pixel) == 2)
        return V::Equal16(over, zero);
    else
        return V::Equal32(over, zero);
}

// The mean of each channel, rounded down, as the reference computes it.
template <typename V>
[[gnu::always_inline]] inline typename V::Reg Average(
    typename V::Reg a, typename V::Reg b, typename V::Reg halveMask)
{
    return V::Add16(V::And(a, b), V::ShiftRight16(V::And(V::Xor(a, b), halveMask), 1));
}

// Measures row j of the later field against the previous frame's, stores this frame's row in
// its place, and writes to spread the pixels that stood still with their neighbours across.
// flags has SCRATCH_MARGIN bytes of all ones before and after its rowBytes.
template <typename V, typename Format>
[[gnu::always_inline]] inline void MeasureRow(const uint8* row, uint8* previous, bool hasPrevious,
    uint8* flags, uint8* spread, int32 rowBytes)
{
    using Reg = typename V::Reg;
    constexpr int32 PIXEL = int32(sizeof(typename Format::Pixel));
    if (!hasPrevious) {
        std::memset(spread, 0, size_t(rowBytes));
        std::memcpy(previous, row, size_t(rowBytes));
        return;
    }
    // The last vector ends at the row's end and may overlap the one before it: it is measured
    // before the loop stores this frame's pixels into the previous row.
    const int32 last = rowBytes - V::BYTES;
    const Reg lastNow = V::Load(row + last);
    V::Store(flags + last, Still<V, Format>(lastNow, V::Load(previous + last)));
    for (int32 x = 0; x < last; x += V::BYTES) {
        const Reg now = V::Load(row + x);
        V::Store(flags + x, Still<V, Format>(now, V::Load(previous + x)));
        V::Store(previous + x, now);
    }
    V::Store(previous + last, lastNow);
    for (int32 x = 0; x < last; x += V::BYTES) {
        V::Store(spread + x,
            V::And(V::And(V::Load(flags + x - PIXEL), V::Load(flags + x)),
                V::Load(flags + x + PIXEL)));
    }
    V::Store(spread + last,
        V::And(V::And(V::Load(flags + last - PIXEL), V::Load(flags + last)),
            V::Load(flags + last + PIXEL)));
}

// How far apart the pixels of a and b are in the key channel, in the key's place: within the low
// 16 bits of each pixel.
template <typename V, typename Format>
[[gnu::always_inline]] inline typename V::Reg KeyDifference(typename V::Reg a, typename V::Reg b)
{
    using Reg = typename V::Reg;
    constexpr MotionChannel KEY = MotionLayout<Format>::KEY;
    const Reg keyBits = V::Set32(int32(Repeated<Format>(KEY.mask << KEY.shift)));
    if constexpr (InOneByte(KEY)) {
        return V::And(V::Or(V::SubtractSaturated8(a, b), V::SubtractSaturated8(b, a)), keyBits);
    } else {
        const Reg keyA = V::And(a, keyBits);
        const Reg keyB = V::And(b, keyBits);
        return V::Or(V::SubtractSaturated16(keyA, keyB), V::SubtractSaturated16(keyB, keyA));
    }
}

// All ones in each pixel where the key difference a is at most b.
template <typename V, typename Format>
[[gnu::always_inline]] inline typename V::Reg AtMost(typename V::Reg a, typename V::Reg b)
{
    const typename V::Reg zero = V::Set32(0);
    if constexpr (sizeof(typename Format::Pixel) == 1)
        return V::Equal8(V::SubtractSaturated8(a, b), zero);
    else if constexpr (sizeof(typename Format::Pixel) == 2)
        return V::Equal16(V::SubtractSaturated16(a, b), zero);
    else
        return V::Equal32(V::SubtractSaturated16(a, b), zero);
}

// The rows a row of the later field is written from. above and below are copies of the frame
// rows around it with SCRATCH_MARGIN bytes on either side, so that the pixels beside either end
// can be loaded; interior is all ones but in the first and last pixel, where only the straight
// pair is taken. up, here and down hold the spread motion of the field rows above, of this one
// and below.
struct OutputRows {
    uint8* row;
    const uint8* above;
    const uint8* below;
    const uint8* interior;
    const uint8* up;
    const uint8* here;
    const uint8* down;
};

// A vector of a row of the later field as it is written: its own pixels where they stood still
// with their neighbours, elsewhere the pair of pixels above and below along the edge through
// them, averaged, as the reference chooses it.
template <typename V, typename Format>
[[gnu::always_inline]] inline typename V::Reg OutputAt(
    const OutputRows& rows, int32 x, typename V::Reg halveMask)
{
    using Reg = typename V::Reg;
    constexpr int32 PIXEL = int32(sizeof(typename Format::Pixel));
    const Reg still
        = V::And(V::And(V::Load(rows.up + x), V::Load(rows.here + x)), V::Load(rows.down + x));
    // Still areas come in runs of whole vectors: they need no interpolation.
    if (V::AllOnes(still))
        return V::Load(rows.row + x);
    const Reg above = V::Load(rows.above + x);
    const Reg below = V::Load(rows.below + x);
    const Reg aboveLeft = V::Load(rows.above + x - PIXEL);
    const Reg belowRight = V::Load(rows.below + x + PIXEL);
    const Reg aboveRight = V::Load(rows.above + x + PIXEL);
    const Reg belowLeft = V::Load(rows.below + x - PIXEL);
    const Reg straightCost = KeyDifference<V, Format>(above, below);
    const Reg leftCost = KeyDifference<V, Format>(aboveLeft, belowRight);
    const Reg rightCost = KeyDifference<V, Format>(aboveRight, belowLeft);
    const Reg straight = V::And(
        AtMost<V, Format>(straightCost, leftCost), AtMost<V, Format>(straightCost, rightCost));
    const Reg diagonal = V::AndNot(straight, V::Load(rows.interior + x));
    const Reg leftFirst = AtMost<V, Format>(leftCost, rightCost);
    const Reg left
        = V::And(V::And(diagonal, leftFirst), Average<V>(aboveLeft, belowRight, halveMask));
    const Reg right
        = V::And(V::AndNot(leftFirst, diagonal), Average<V>(aboveRight, belowLeft, halveMask));
    const Reg interpolated
        = V::Or(V::AndNot(diagonal, Average<V>(above, below, halveMask)), V::Or(left, right));
    return V::Or(V::And(still, V::Load(rows.row + x)), V::AndNot(still, interpolated));
}

// One row of the later field. The last vector may overlap the one before it, so it is computed
// from the row's own pixels before the loop writes any.
template <typename V, typename Format>
[[gnu::always_inline]] inline void WriteRow(const OutputRows& rows, int32 rowBytes)
{
    using Reg = typename V::Reg;
    const Reg halveMask = V::Set32(int32(HalveWord<Format>()));
    const int32 last = rowBytes - V::BYTES;
    const Reg lastOut = OutputAt<V, Format>(rows, last, halveMask);
    for (int32 x = 0; x < last; x += V::BYTES)
        V::Store(rows.row + x, OutputAt<V, Format>(rows, x, halveMask));
    V::Store(rows.row + last, lastOut);
}

// The later field of a frame, row after row, with three rows of spread motion in turn.
template <typename V, typename Format>
[[gnu::always_inline]] inline void FrameRows(
    const FrameView& frame, MotionDeInterlaceState& state, const MotionFrame& pass)
{
    const int32 rowBytes = pass.rowBytes;
    uint8* flags = pass.scratch + SCRATCH_MARGIN;
    uint8* spreads[3];
    spreads[0] = flags + rowBytes + SCRATCH_MARGIN;
    spreads[1] = spreads[0] + rowBytes;
    spreads[2] = spreads[1] + rowBytes;
    uint8* allStill = spreads[2] + rowBytes;
    uint8* interior = allStill + rowBytes;
    uint8* copies[2];
    copies[0] = interior + rowBytes + SCRATCH_MARGIN;
    copies[1] = copies[0] + rowBytes + 2 * SCRATCH_MARGIN;
    std::memset(pass.scratch, 0xFF, SCRATCH_MARGIN);
    std::memset(flags + rowBytes, 0xFF, SCRATCH_MARGIN);
    std::memset(allStill, 0xFF, size_t(rowBytes));
    constexpr int32 PIXEL = int32(sizeof(typename Format::Pixel));
    std::memset(interior, 0xFF, size_t(rowBytes));
    std::memset(interior, 0, PIXEL);
    std::memset(interior + rowBytes - PIXEL, 0, PIXEL);
    for (uint8* copy : copies) {
        std::memset(copy - SCRATCH_MARGIN, 0, SCRATCH_MARGIN);
        std::memset(copy + rowBytes, 0, SCRATCH_MARGIN);
    }
    // Rows of the earlier field two apart take turns in the two copies; each is copied once.
    int32 copied[2] = {-1, -1};
    auto earlier = [&](int32 y) -> const uint8* {
        const int32 slot = (y / 2) % 2;
        if (copied[slot] != y) {
            std::memcpy(copies[slot], frame.Row(y), size_t(rowBytes));
            copied[slot] = y;
        }
        return copies[slot];
    };

    auto measure = [&](int32 j) {
        MeasureRow<V, Format>(frame.Row(pass.firstRow + 2 * j),
            pass.previous + int64(j) * rowBytes, pass.hasPrevious, flags, spreads[j % 3],
            rowBytes);
    };
    // Each row is measured one row ahead of its writing, as writing a row needs the motion of
    // the row below.
    measure(0);
    for (int32 j = 0; j < pass.fieldRows; j++) {
        const bool lastRow = j + 1 == pass.fieldRows;
        if (!lastRow)
            measure(j + 1);
        const int32 y = pass.firstRow + 2 * j;
        // At the top and bottom edges the one neighbour stands for both: its mean with itself
        // is itself, and its straight pair, the same pixel twice, differs least.
        OutputRows rows;
        rows.row = frame.Row(y);
        rows.above = earlier(y > 0 ? y - 1 : y + 1);
        rows.below = earlier(y + 1 < frame.lines ? y + 1 : y - 1);
        rows.interior = interior;
        rows.up = j > 0 ? spreads[(j - 1) % 3] : allStill;
        rows.here = spreads[j % 3];
        rows.down = lastRow ? allStill : spreads[(j + 1) % 3];
        WriteRow<V, Format>(rows, rowBytes);
    }
    state.hasPrevious = true;
}

}

// The whole filter with V's vectors. Rows shorter than a vector go to narrower, the
// implementation with the next smaller vectors.
template <typename V>
[[gnu::always_inline]] inline void MotionDeInterlaceVector(const FrameView& frame,
    MotionDeInterlaceState& state, FieldOrder order, MotionDeInterlaceFunction narrower)
{
    if (frame.IsUsable() && frame.RowBytes() < V::BYTES) {
        narrower(frame, state, order);
        return;
    }
    MotionFrame pass;
    if (!BeginMotionFrame(frame, state, order, pass))
        return;
    switch (frame.colorSpace) {
    case B_GRAY8:
        return motion_vector::FrameRows<V, Gray8>(frame, state, pass);
    case B_RGB15:
        return motion_vector::FrameRows<V, Rgb15>(frame, state, pass);
    case B_RGB16:
        return motion_vector::FrameRows<V, Rgb16>(frame, state, pass);
    case B_RGB32:
        return motion_vector::FrameRows<V, Rgb32>(frame, state, pass);
    default:
        return;
    }
}

}
