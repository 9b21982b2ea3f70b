// DeInterlace with SSE2, which every x86-64 CPU has.

#include "video/DeInterlacePrivate.h"
#include "video/DeInterlaceVector.h"

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
    [[gnu::always_inline]] static Reg Average16(Reg a, Reg b) { return _mm_avg_epu16(a, b); }
};

}

void DeInterlaceSse2(const FrameView& frame)
{
    DeInterlaceVector<Sse2>(frame, DeInterlaceReference);
}

}
