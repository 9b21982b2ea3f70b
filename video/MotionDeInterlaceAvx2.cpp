// MotionDeInterlace with AVX2. The only file of MotionDeInterlace built with -mavx2: it uses
// nothing but intrinsics and helpers that are always inlined, evaluated while compiling or
// instantiated for this file alone, so no function compiled for AVX2 here can be the copy the
// linker keeps for code run on any CPU.

#include "video/MotionDeInterlacePrivate.h"
#include "video/MotionDeInterlaceVector.h"

#include <immintrin.h>

namespace video {

namespace {

struct Avx2 {
    using Reg = __m256i;
    static constexpr int32 BYTES = 32;

    [[gnu::always_inline]] static Reg Set32(int32 value) { return _mm256_set1_epi32(value); }
    [[gnu::always_inline]] static Reg Load(const uint8* address)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(address));
    }
    [[gnu::always_inline]] static void Store(uint8* address, Reg value)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(address), value);
    }
    [[gnu::always_inline]] static Reg And(Reg a, Reg b) { return _mm256_and_si256(a, b); }
    [[gnu::always_inline]] static Reg AndNot(Reg a, Reg b) { return _mm256_andnot_si256(a, b); }
    [[gnu::always_inline]] static Reg Or(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    [[gnu::always_inline]] static Reg Xor(Reg a, Reg b) { return _mm256_xor_si256(a, b); }
    [[gnu::always_inline]] static Reg Add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
    [[gnu::always_inline]] static Reg ShiftRight16(Reg a, int count)
    {
        return _mm256_srli_epi16(a, count);
    }
    [[gnu::always_inline]] static Reg SubtractSaturated8(Reg a, Reg b)
    {
        return _mm256_subs_epu8(a, b);
    }
    [[gnu::always_inline]] static Reg SubtractSaturated16(Reg a, Reg b)
    {
        return _mm256_subs_epu16(a, b);
    }
    [[gnu::always_inline]] static Reg Equal8(Reg a, Reg b) { return _mm256_cmpeq_epi8(a, b); }
    [[gnu::always_inline]] static Reg Equal16(Reg a, Reg b) { return _mm256_cmpeq_epi16(a, b); }
    [[gnu::always_inline]] static Reg Equal32(Reg a, Reg b) { return _mm256_cmpeq_epi32(a, b); }
    [[gnu::always_inline]] static bool AllOnes(Reg a) { return _mm256_movemask_epi8(a) == -1; }
};

}

void MotionDeInterlaceAvx2(const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order)
{
    MotionDeInterlaceVector<Avx2>(frame, state, order, MotionDeInterlaceSse2);
}

}
