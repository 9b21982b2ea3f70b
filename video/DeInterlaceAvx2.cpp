// DeInterlace with AVX2. The only file of DeInterlace built with -mavx2: it uses nothing but
// intrinsics and helpers that are always inlined or instantiated for this file alone, so no
// function compiled for AVX2 here can be the copy the linker keeps for code run on any CPU.

#include "video/DeInterlacePrivate.h"
#include "video/DeInterlaceVector.h"

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
    [[gnu::always_inline]] static Reg Average16(Reg a, Reg b) { return _mm256_avg_epu16(a, b); }
};

}

void DeInterlaceAvx2(const FrameView& frame)
{
    DeInterlaceVector<Avx2>(frame, DeInterlaceSse2);
}

}
