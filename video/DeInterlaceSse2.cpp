// DeInterlace with SSE2, which every x86-64 CPU has.

#include "video/DeInterlacePrivate.h"

#include <emmintrin.h>

namespace video {

namespace {

using Vector = __m128i;
constexpr int32 VECTOR_BYTES = 16;

// The pixels at address with the lowest bit of every channel cleared.
[[gnu::always_inline]] inline Vector LoadCleared(const uint8* address, Vector mask)
{
    return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const Vector*>(address)), mask);
}

// Half of each channel of both, added. With the lowest bits cleared every channel sum is even, so
// the rounding average of 16-bit lanes is exact: a carry out of one channel lands in the cleared
// lowest bit of the next and comes back with the halving. The mask pattern repeats with every
// pixel of every format, so a vector may start at any pixel.
[[gnu::always_inline]] inline Vector Average(Vector upper, Vector lower)
{
    return _mm_avg_epu16(upper, lower);
}

[[gnu::always_inline]] inline void Store(uint8* address, Vector value)
{
    _mm_storeu_si128(reinterpret_cast<Vector*>(address), value);
}

}

void DeInterlaceSse2(const FrameView& frame)
{
    const uint32 wordMask = DeInterlaceWordMask(frame.colorSpace);
    const int32 rows = DeInterlacedRows(frame.lines);
    const int32 rowBytes = frame.RowBytes();
    if (wordMask == 0 || rows == 0)
        return;
    if (rowBytes < VECTOR_BYTES) {
        DeInterlaceReference(frame);
        return;
    }
    const Vector mask = _mm_set1_epi32(int32(wordMask));
    const int64 step = frame.bytesPerRow;
    const int32 lastVector = rowBytes - VECTOR_BYTES;
    // Four rows at a time, as they share the loads of the rows between them; every row is written
    // only after the row below has been read, and the next group starts below the last one read.
    for (int32 y = 0; y < rows; y += 4) {
        uint8* row = frame.Row(y);
        // The last vector of a row ends at the row's end and may overlap the one before it; it is
        // computed before anything in these rows is written, so both see original pixels.
        uint8* lastColumn = row + lastVector;
        const Vector h0 = LoadCleared(lastColumn, mask);
        const Vector h1 = LoadCleared(lastColumn + step, mask);
        const Vector h2 = LoadCleared(lastColumn + 2 * step, mask);
        const Vector h3 = LoadCleared(lastColumn + 3 * step, mask);
        const Vector h4 = LoadCleared(lastColumn + 4 * step, mask);
        const Vector last0 = Average(h0, h1);
        const Vector last1 = Average(h1, h2);
        const Vector last2 = Average(h2, h3);
        const Vector last3 = Average(h3, h4);
        for (int32 x = 0; x < lastVector; x += VECTOR_BYTES) {
            uint8* column = row + x;
            const Vector v0 = LoadCleared(column, mask);
            const Vector v1 = LoadCleared(column + step, mask);
            const Vector v2 = LoadCleared(column + 2 * step, mask);
            const Vector v3 = LoadCleared(column + 3 * step, mask);
            const Vector v4 = LoadCleared(column + 4 * step, mask);
            Store(column, Average(v0, v1));
            Store(column + step, Average(v1, v2));
            Store(column + 2 * step, Average(v2, v3));
            Store(column + 3 * step, Average(v3, v4));
        }
        Store(lastColumn, last0);
        Store(lastColumn + step, last1);
        Store(lastColumn + 2 * step, last2);
        Store(lastColumn + 3 * step, last3);
    }
}

}
