// DeInterlace with SSE2, which every x86-64 CPU has.

#include "video/DeInterlacePrivate.h"

#include <emmintrin.h>

namespace video {

namespace {

constexpr int32 VECTOR_BYTES = 16;

[[gnu::always_inline]] inline __m128i Blend(const uint8* row, const uint8* below, __m128i mask)
{
    const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    const __m128i lower = _mm_loadu_si128(reinterpret_cast<const __m128i*>(below));
    // The mask pattern repeats every pixel of every format, so a vector may start at any pixel.
    return _mm_add_epi32(_mm_srli_epi32(_mm_and_si128(upper, mask), 1),
        _mm_srli_epi32(_mm_and_si128(lower, mask), 1));
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
    const __m128i mask = _mm_set1_epi32(int32(wordMask));
    // Top down: row y + 1 still holds its original pixels while row y is written.
    const int32 lastVector = rowBytes - VECTOR_BYTES;
    for (int32 y = 0; y < rows; y++) {
        uint8* row = frame.Row(y);
        const uint8* below = frame.Row(y + 1);
        // The last vector ends at the row's end and may overlap the one before it; it is computed
        // before anything in the row is written, so both see original pixels.
        const __m128i last = Blend(row + lastVector, below + lastVector, mask);
        for (int32 x = 0; x < lastVector; x += VECTOR_BYTES)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), Blend(row + x, below + x, mask));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + lastVector), last);
    }
}

}
