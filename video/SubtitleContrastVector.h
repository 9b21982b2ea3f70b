#pragma once
// The SubtitleContrast band pass written once over a vector instruction set. Read only by the file
// of each instruction set, which passes its wrapper V (video/VectorSse2.h, video/VectorAvx2.h),
// whose anonymous namespace keeps every instantiation in the file built for its instruction set.
//
// Of V it uses Reg, BYTES, Zero, Load, Store, Set16, Set32, LaneIndex16, LaneIndex32, And,
// AndNot, Or, Xor, Sub32, ShiftRight16, ShiftRight32, ShiftLeft32, Equal16, Equal32, Greater16,
// Greater32, SubtractSaturated8, PairSum16, MoveMask8, Select and Sum32.

#include "video/SubtitleContrastPrivate.h"

namespace video {

template <typename V, typename Format, bool ACTIVE>
class SubtitleVectorPass {
public:
    // The band's rows are walked bottom up and each from its right end, the reverse of scan order,
    // so the last bright pixel in scan order is the first one met: once found, the search costs a
    // predictable branch per vector. Counting and darkening do not depend on the order.
    // The band's rows must hold at least LANES pixels.
    static SubtitleTally Run(const SubtitleBand& band);

private:
    // Built on the stack of Run, whose loop then keeps every constant in a register.
    [[gnu::always_inline]] explicit SubtitleVectorPass(uint8 threshold);

    using Reg = typename V::Reg;
    using Pixel = typename Format::Pixel;
    using Layout = SubtitleLayout<Format>;

    static constexpr bool WIDE = sizeof(Pixel) == 4;
    static constexpr int32 LANES = V::BYTES / int32(sizeof(Pixel));
    static constexpr uint32 GREEN_MASK = ACTIVE ? Layout::GREEN_MASK : Layout::COMPARE_MASK;

    // Runs the vector of pixels at address. With PARTIAL, only the lanes in valid: the others
    // hold pixels an earlier vector did.
    template <bool PARTIAL>
    [[gnu::always_inline]] void Vector(uint8* address, Reg valid, Reg& whiteCount,
        int32& lastBright) const;

    Reg halveMask;
    // 16-bit formats: the green mask, the compare mask, and threshold - 1 in every lane.
    Reg greenMask;
    Reg compareMask;
    Reg thresholdBelow;
    // RGB32: the threshold in every pixel's green byte.
    Reg thresholdInGreen;
    Reg ones16;
    Reg laneIndex;
};

template <typename V, typename Format, bool ACTIVE>
inline SubtitleVectorPass<V, Format, ACTIVE>::SubtitleVectorPass(uint8 thresholdValue)
    : halveMask(WIDE ? V::Set32(int32(Format::HALVE_MASK)) : V::Set16(int16(Format::HALVE_MASK))),
      greenMask(V::Set16(int16(GREEN_MASK))),
      compareMask(V::Set16(int16(Layout::COMPARE_MASK))),
      thresholdBelow(V::Set16(int16(int16(thresholdValue) - 1))),
      thresholdInGreen(V::Set32(int32(thresholdValue) << 8)),
      ones16(V::Set16(1)),
      laneIndex(WIDE ? V::LaneIndex32() : V::LaneIndex16())
{
}

template <typename V, typename Format, bool ACTIVE>
template <bool PARTIAL>
inline void SubtitleVectorPass<V, Format, ACTIVE>::Vector(uint8* address, Reg valid,
    Reg& whiteCount, int32& lastBright) const
{
    const Reg pixels = V::Load(address);
    Reg white;
    Reg bright;
    Reg darkened;
    if constexpr (WIDE) {
        // Bytes blue, green, red, ignored. With the low bit of each channel cleared, the pixel is
        // colourless when blue ^ green and green ^ red are both 0; it reached the threshold when
        // the threshold minus green (saturating) is 0. White is all three bytes being 0.
        const Reg halved = V::And(pixels, halveMask);
        const Reg differences = V::Xor(halved, V::ShiftRight32(halved, 8));
        const Reg shortfall = V::SubtractSaturated8(thresholdInGreen, ACTIVE ? pixels : halved);
        const Reg tested = V::Or(differences, shortfall);
        white = V::Equal32(V::ShiftLeft32(tested, 16), V::Zero());
        bright = V::Equal32(shortfall, V::Zero());
        darkened = V::ShiftRight32(halved, 1);
    } else {
        const Reg green = V::And(V::ShiftRight16(pixels, Layout::GREEN_SHIFT), greenMask);
        const Reg compared = ACTIVE ? V::And(green, compareMask) : green;
        const Reg red = V::And(V::ShiftRight16(pixels, Layout::RED_SHIFT), compareMask);
        const Reg blue = V::And(pixels, compareMask);
        bright = V::Greater16(green, thresholdBelow);
        white = V::And(bright, V::And(V::Equal16(compared, red), V::Equal16(compared, blue)));
        darkened = V::ShiftRight16(V::And(pixels, halveMask), 1);
    }
    if constexpr (PARTIAL) {
        white = V::And(white, valid);
        bright = V::And(bright, valid);
    }
    if constexpr (WIDE)
        whiteCount = V::Sub32(whiteCount, white);
    else
        whiteCount = V::Sub32(whiteCount, V::PairSum16(white, ones16));
    if (lastBright < 0) {
        const uint32 brightBytes = V::MoveMask8(bright);
        if (brightBytes != 0) {
            // The highest lane is the last in scan order; read before the vector is written.
            const int32 lane = (31 - __builtin_clz(brightBytes)) / int32(sizeof(Pixel));
            const Pixel pixel = LoadPixel<Pixel>(address + lane * int32(sizeof(Pixel)));
            lastBright = int32((pixel >> Layout::GREEN_SHIFT) & GREEN_MASK);
        }
    }
    if constexpr (ACTIVE) {
        if constexpr (PARTIAL) {
            // Lanes outside valid keep what an earlier vector wrote there.
            V::Store(address, V::Select(V::AndNot(white, valid), darkened, pixels));
        } else {
            V::Store(address, V::Select(white, pixels, darkened));
        }
    }
}

template <typename V, typename Format, bool ACTIVE>
SubtitleTally SubtitleVectorPass<V, Format, ACTIVE>::Run(const SubtitleBand& band)
{
    const SubtitleVectorPass pass(band.threshold);
    // Whole vectors end at the row's end; the pixels before the first of them are done by a
    // vector at the row's start with only those lanes valid.
    const int32 wholeVectors = band.width / LANES;
    const int32 leading = band.width % LANES;
    const Reg leadingValid = WIDE ? V::Greater32(V::Set32(leading), pass.laneIndex)
                                  : V::Greater16(V::Set16(int16(leading)), pass.laneIndex);
    const int64 lastVectorOffset = int64(band.width) * int64(sizeof(Pixel)) - V::BYTES;
    SubtitleTally tally;
    for (int32 y = band.rows - 1; y >= 0; y--) {
        uint8* row = band.firstRow + int64(y) * band.bytesPerRow;
        uint8* vector = row + lastVectorOffset;
        Reg whiteCount = V::Zero();
        for (int32 i = 0; i < wholeVectors; i++, vector -= V::BYTES)
            pass.template Vector<false>(vector, leadingValid, whiteCount, tally.lastBright);
        if (leading != 0)
            pass.template Vector<true>(row, leadingValid, whiteCount, tally.lastBright);
        // Per row, so no lane can overflow.
        tally.white += V::Sum32(whiteCount);
    }
    return tally;
}

// The whole filter on top of V's band pass. Rows shorter than a vector go to narrower, the
// implementation with the next smaller vectors.
template <typename V>
void SubtitleContrastVector(const FrameView& frame, SubtitleContrastState& state,
    SubtitleContrastFunction narrower)
{
    if (frame.IsUsable() && frame.RowBytes() < V::BYTES) {
        narrower(frame, state);
        return;
    }
    SubtitleBand band;
    if (!BeginSubtitleFrame(frame, state, band))
        return;
    SubtitleTally tally;
    switch (frame.colorSpace) {
    case B_RGB15:
        tally = band.active ? SubtitleVectorPass<V, Rgb15, true>::Run(band)
                            : SubtitleVectorPass<V, Rgb15, false>::Run(band);
        break;
    case B_RGB16:
        tally = band.active ? SubtitleVectorPass<V, Rgb16, true>::Run(band)
                            : SubtitleVectorPass<V, Rgb16, false>::Run(band);
        break;
    case B_RGB32:
        tally = band.active ? SubtitleVectorPass<V, Rgb32, true>::Run(band)
                            : SubtitleVectorPass<V, Rgb32, false>::Run(band);
        break;
    default:
        return;
    }
    EndSubtitleFrame(frame, band, tally, state);
}

}
