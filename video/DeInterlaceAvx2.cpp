// DeInterlace with AVX2. The only file of DeInterlace built with -mavx2: it uses nothing but
// intrinsics and its own helpers, so no inline function compiled for AVX2 here can be the copy
// the linker keeps for code that runs on every CPU.

#include "video/DeInterlacePrivate.h"

#include <immintrin.h>

namespace video {

namespace {

constexpr int32 VECTOR_BYTES = 32;

[[gnu::always_inline]] inline __m256i Blend(const uint8* row, const uint8* below, __m256i mask)
{
    const __m256i upper = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row));
    const __m256i lower = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below));
    // The mask pattern repeats every pixel of every format, so a vector may start at any pixel.
    return _mm256_add_epi32(_mm256_srli_epi32(_mm256_and_si256(upper, mask), 1),
        _mm256_srli_epi32(_mm256_and_si256(lower, mask), 1));
}

}

void DeInterlaceAvx2(const FrameView& frame)
{
    const uint32 wordMask = DeInterlaceWordMask(frame.colorSpace);
    const int32 rows = DeInterlacedRows(frame.lines);
    const int32 rowBytes = frame.RowBytes();
    if (wordMask == 0 || rows == 0)
        return;
    if (rowBytes < VECTOR_BYTES) {
        DeInterlaceSse2(frame);
        return;
    }
    const __m256i mask = _mm256_set1_epi32(int32(wordMask));
    // Top down: row y + 1 still holds its original pixels while row y is written.
    const int32 lastVector = rowBytes - VECTOR_BYTES;
    for (int32 y = 0; y < rows; y++) {
        uint8* row = frame.Row(y);
        const uint8* below = frame.Row(y + 1);
        // The last vector ends at the row's end and may overlap the one before it; it is computed
        // before anything in the row is written, so both see original pixels.
        const __m256i last = Blend(row + lastVector, below + lastVector, mask);
        for (int32 x = 0; x < lastVector; x += VECTOR_BYTES) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x),
                Blend(row + x, below + x, mask));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + lastVector), last);
    }
}

}
