#pragma once
// The DeInterlace row blend written once over a vector instruction set. Read only by the file of
// each instruction set, which passes its wrapper V (video/VectorSse2.h, video/VectorAvx2.h),
// whose anonymous namespace keeps every instantiation in the file built for its instruction set.
//
// Of V it uses Reg, BYTES, Set32, Load, Store, And and Average16.

#include "video/DeInterlacePrivate.h"

namespace video {

namespace deinterlace_vector {

// The pixels at address with the lowest bit of every channel cleared.
template <typename V>
[[gnu::always_inline]] inline typename V::Reg LoadCleared(const uint8* address,
    typename V::Reg mask)
{
    return V::And(V::Load(address), mask);
}

// Half of each channel of both, added. With the lowest bits cleared every channel sum is even, so
// the rounding average of 16-bit lanes is exact: a carry out of one channel lands in the cleared
// lowest bit of the next and comes back with the halving. The mask pattern repeats with every
// pixel of every format, so a vector may start at any pixel.
template <typename V>
[[gnu::always_inline]] inline typename V::Reg Blend(typename V::Reg upper, typename V::Reg lower)
{
    return V::Average16(upper, lower);
}

}

// The whole filter with V's vectors. Rows shorter than a vector go to narrower, the
// implementation with the next smaller vectors.
template <typename V>
[[gnu::always_inline]] inline void DeInterlaceVector(const FrameView& frame,
    DeInterlaceFunction narrower)
{
    using Reg = typename V::Reg;
    using deinterlace_vector::Blend;
    using deinterlace_vector::LoadCleared;
    const uint32 wordMask = DeInterlaceWordMask(frame.colorSpace);
    const int32 rows = DeInterlacedRows(frame.lines);
    const int32 rowBytes = frame.RowBytes();
    if (wordMask == 0 || rows == 0)
        return;
    if (rowBytes < V::BYTES) {
        narrower(frame);
        return;
    }
    const Reg mask = V::Set32(int32(wordMask));
    const int64 step = frame.bytesPerRow;
    const int32 lastVector = rowBytes - V::BYTES;
    // Four rows at a time, as they share the loads of the rows between them; every row is written
    // only after the row below has been read, and the next group starts below the last one read.
    for (int32 y = 0; y < rows; y += 4) {
        uint8* row = frame.Row(y);
        // The last vector of a row ends at the row's end and may overlap the one before it; it is
        // computed before anything in these rows is written, so both see original pixels.
        uint8* lastColumn = row + lastVector;
        const Reg h0 = LoadCleared<V>(lastColumn, mask);
        const Reg h1 = LoadCleared<V>(lastColumn + step, mask);
        const Reg h2 = LoadCleared<V>(lastColumn + 2 * step, mask);
        const Reg h3 = LoadCleared<V>(lastColumn + 3 * step, mask);
        const Reg h4 = LoadCleared<V>(lastColumn + 4 * step, mask);
        const Reg last0 = Blend<V>(h0, h1);
        const Reg last1 = Blend<V>(h1, h2);
        const Reg last2 = Blend<V>(h2, h3);
        const Reg last3 = Blend<V>(h3, h4);
        for (int32 x = 0; x < lastVector; x += V::BYTES) {
            uint8* column = row + x;
            const Reg v0 = LoadCleared<V>(column, mask);
            const Reg v1 = LoadCleared<V>(column + step, mask);
            const Reg v2 = LoadCleared<V>(column + 2 * step, mask);
            const Reg v3 = LoadCleared<V>(column + 3 * step, mask);
            const Reg v4 = LoadCleared<V>(column + 4 * step, mask);
            V::Store(column, Blend<V>(v0, v1));
            V::Store(column + step, Blend<V>(v1, v2));
            V::Store(column + 2 * step, Blend<V>(v2, v3));
            V::Store(column + 3 * step, Blend<V>(v3, v4));
        }
        V::Store(lastColumn, last0);
        V::Store(lastColumn + step, last1);
        V::Store(lastColumn + 2 * step, last2);
        V::Store(lastColumn + 3 * step, last3);
    }
}

}
