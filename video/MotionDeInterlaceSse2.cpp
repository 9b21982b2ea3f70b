// MotionDeInterlace with SSE2, which every x86-64 CPU has.

#include "video/MotionDeInterlacePrivate.h"
#include "video/MotionDeInterlaceVector.h"

#include <emmintrin.h>

namespace video {

namespace {

struct Sse2 {
    using Reg = __m128i;
    static constexpr int32 BYTES = 16;

    [[gnu::always_inline]] static Reg Set32(int32 value) { return _mm_set1_epi32(value); }
    [[gnu::always_inline]] static Reg Load(const uint8* address)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(address));
    }
    [[gnu::always_inline]] static void Store(uint8* address, Reg value)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(address), value);
    }
    [[gnu::always_inline]] static Reg And(Reg a, Reg b) { return _mm_and_si128(a, b); }
    [[gnu::always_inline]] static Reg AndNot(Reg a, Reg b) { return _mm_andnot_si128(a, b); }
    [[gnu::always_inline]] static Reg Or(Reg a, Reg b) { return _mm_or_si128(a, b); }
    [[gnu::always_inline]] static Reg Xor(Reg a, Reg b) { return _mm_xor_si128(a, b); }
    [[gnu::always_inline]] static Reg Add16(Reg a, Reg b) { return _mm_add_epi16(a, b); }
    [[gnu::always_inline]] static Reg ShiftRight16(Reg a, int count)
    {
        return _mm_srli_epi16(a, count);
    }
    [[gnu::always_inline]] static Reg SubtractSaturated8(Reg a, Reg b)
    {
        return _mm_subs_epu8(a, b);
    }
    [[gnu::always_inline]] static Reg SubtractSaturated16(Reg a, Reg b)
    {
        return _mm_subs_epu16(a, b);
    }
    [[gnu::always_inline]] static Reg Equal8(Reg a, Reg b) { return _mm_cmpeq_epi8(a, b); }
    [[gnu::always_inline]] static Reg Equal16(Reg a, Reg b) { return _mm_cmpeq_epi16(a, b); }
    [[gnu::always_inline]] static Reg Equal32(Reg a, Reg b) { return _mm_cmpeq_epi32(a, b); }
    [[gnu::always_inline]] static bool AllOnes(Reg a) { return _mm_movemask_epi8(a) == 0xFFFF; }
};

}

void MotionDeInterlaceSse2(const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order)
{
    MotionDeInterlaceVector<Sse2>(frame, state, order, MotionDeInterlaceReference);
}

}
